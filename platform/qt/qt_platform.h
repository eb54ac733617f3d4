// SPDX-License-Identifier: MIT
#pragma once

#include "files/folder_lock.h"
#include "platform/platform.h"
#include "platform/qt/sound_bank.h"
#include "platform/random_source.h"

#include <QElapsedTimer>

#include <functional>
#include <string>
#include <vector>

namespace chimex {

/// The platform services taken from Qt: the program's folders, files, the clock, QSoundEffect
/// sounds, QMessageBox and Qt's own save-file dialog, each behind its own small interface; seams()
/// hands them on together. Needs a QApplication.
class QtPlatform : public Clock,
                   public Sound,
                   public Dialogs,
                   public ProgramFiles,
                   public ProgramLifetime {
  public:
    /// `exitProgram` ends the process with the given status; tests replace it.
    explicit QtPlatform(std::function<void(int)> exitProgram = hardExit);

    /// The main window's unload; reportUnhandledFailure() calls it first.
    void setEndPlayingHandler(std::function<void()> handler);
    Platform seams();
    const SoundBank& sounds() const { return sounds_; }

    /// The layout of the executable's folder, decided when the platform is made.
    ProgramFolders folders() const override;
    bool fileExists(const std::filesystem::path& path) const override;
    bool lockTuneFile(const std::filesystem::path& path) override;
    double clock() override;
    void preloadSounds(const std::vector<std::filesystem::path>& paths) override;
    void startSound(const std::filesystem::path& path) override;
    void stopSound() override;
    MessageButton messageBox(std::string_view prompt, std::string_view title,
                             MessageStyle style) override;
    std::optional<std::filesystem::path> saveFileDialog(const SaveDialogOptions& options) override;
    void reportUnhandledFailure(std::string_view message) override;
    void endProgram() override;

    /// Flushes the C streams and ends the process without running destructors: no window event,
    /// no audio thread, nothing else runs after it.
    static void hardExit(int status);

  private:
    std::function<void(int)> exitProgram_;
    std::function<void()> endPlayingHandler_;
    ProgramFolders folders_;
    FileLock tuneLock_;
    RandomSource random_;
    /// Clock readings run on a steady timer from the time of day at start, so a change of the
    /// wall clock (daylight saving, a time sync) never stretches or shrinks a note.
    QElapsedTimer steady_;
    double startOfDay_ = 0;
    SoundBank sounds_;
    int exitStatus_ = 0;
    bool reporting_ = false;
    std::vector<std::string> laterFailures_;
};

} // namespace chimex
