// SPDX-License-Identifier: MIT
#pragma once

#include "platform/platform.h"
#include "platform/random_source.h"

#include <array>
#include <ostream>

namespace chimex {

/// The platform for rendering without windows or sound: the clock answers from a short script
/// the renderer fills note by note, random numbers come from RandomSource in its fixed starting
/// state, message boxes go to a text stream, and ending the play is only recorded.
class HeadlessPlatform : public Platform {
  public:
    /// `folder` stands for the program's folder, where the keys' sound files would be; nothing is
    /// read from it or written to it.
    HeadlessPlatform(std::filesystem::path folder, std::ostream& messages);

    /// The next readings the clock gives, in order; at most eight wait at a time.
    void scriptClock(std::initializer_list<double> readings);
    bool playingEnded() const { return playingEnded_; }

    /// The portable layout in the scratch folder.
    ProgramFolders folders() const override;
    bool fileExists(const std::filesystem::path& path) const override;
    /// The journal is a scratch file of this process alone: nothing to lock.
    bool lockTuneFile(const std::filesystem::path&) override { return true; }
    /// Throws Failure when the script has run out: the renderer feeds every reading it causes.
    double clock() override;
    float randomNumber() override;
    void preloadSounds(const std::vector<std::filesystem::path>& paths) override;
    void startSound(const std::filesystem::path& path) override;
    void stopSound() override;
    MessageButton messageBox(std::string_view prompt, std::string_view title,
                             MessageStyle style) override;
    std::optional<std::filesystem::path> saveFileDialog(const SaveDialogOptions& options) override;
    void endPlaying() override;
    void reportUnhandledFailure(std::string_view message) override;
    void endProgram() override;

  private:
    std::filesystem::path folder_;
    std::ostream& messages_;
    std::array<double, 8> clock_{}; ///< readings not yet given, from clockNext_
    std::size_t clockNext_ = 0;
    std::size_t clockCount_ = 0;
    RandomSource random_;
    bool playingEnded_ = false;
};

} // namespace chimex
