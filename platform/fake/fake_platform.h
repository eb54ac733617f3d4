// SPDX-License-Identifier: MIT
#pragma once

#include "platform/platform.h"
#include "platform/random_source.h"

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace chimex {

/// A scriptable platform for tests. Every call is recorded as a line in `calls`; clock readings,
/// random numbers, dialog answers and message-box buttons come from queues the test fills.
/// With empty queues: the clock reads 0, random numbers come from a fresh RandomSource, dialogs
/// are cancelled and message boxes answer OK (Yes for a Yes/No box).
class FakePlatform : public Clock,
                     public RandomNumbers,
                     public Sound,
                     public Dialogs,
                     public ProgramFiles,
                     public ProgramLifetime {
  public:
    struct Message {
        std::string prompt;
        std::string title;
        MessageStyle style;
    };

    std::filesystem::path folder = "/fake/program";
    std::set<std::filesystem::path> existingFiles;   ///< paths fileExists() reports as present
    std::set<std::filesystem::path> lockedElsewhere; ///< tune files another copy holds
    bool useRealFiles = false;                       ///< fileExists() asks the real file system

    std::deque<double> clockReadings;
    std::deque<float> randomNumbers;
    std::deque<std::optional<std::filesystem::path>> dialogAnswers;
    std::deque<MessageButton> buttonPresses;

    /// Make the named operation throw a Failure ("clock", "randomNumber", "startSound",
    /// "messageBox", "saveFileDialog", "fileExists", "lockTuneFile").
    std::set<std::string> failing;

    /// Run first by reportUnhandledFailure() when endPlayingFirst is set, as the desktop
    /// program's unload would (finish the tune file).
    std::function<void()> onEndPlaying;
    /// reportUnhandledFailure() ends playing first, as the desktop program does; a failure
    /// reported meanwhile is listed after the one being reported.
    bool endPlayingFirst = false;

    std::vector<std::string> calls;
    std::vector<Message> messages;
    std::vector<SaveDialogOptions> dialogsShown;
    std::vector<std::filesystem::path> soundsStarted;
    std::vector<std::filesystem::path> soundsPreloaded;
    std::vector<std::string> failuresReported;
    int soundStops = 0;
    int endProgramCalls = 0;
    bool soundPlaying = false;

    /// The portable layout in `folder`.
    ProgramFolders folders() const override;
    bool fileExists(const std::filesystem::path& path) const override;
    bool lockTuneFile(const std::filesystem::path& path) override;
    double clock() override;
    float randomNumber() override;
    void preloadSounds(const std::vector<std::filesystem::path>& paths) override;
    void startSound(const std::filesystem::path& path) override;
    void stopSound() override;
    MessageButton messageBox(std::string_view prompt, std::string_view title,
                             MessageStyle style) override;
    std::optional<std::filesystem::path> saveFileDialog(const SaveDialogOptions& options) override;
    void reportUnhandledFailure(std::string_view message) override;
    void endProgram() override;

    /// All the seams at once, as the desktop program hands them to its window.
    Platform seams() { return {*this, *this, *this, *this, *this, *this}; }
    operator Platform() { return seams(); }

  private:
    void failIfAsked(const std::string& operation) const;
    bool reporting_ = false;
    RandomSource random_;
};

} // namespace chimex
