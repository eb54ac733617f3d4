// SPDX-License-Identifier: MIT
#pragma once

#include "platform/program_folders.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// Message box styles as the program uses them.
enum class MessageStyle : int {
    Ok = 0,       ///< OK button only
    YesNo = 4,    ///< Yes and No, Yes the default
    Critical = 16 ///< OK with the critical-error icon
};

/// The button that closed a message box.
enum class MessageButton : int { Ok = 1, Yes = 6, No = 7 };

/// What the save-file dialog is shown with. The filter is the description and the pattern.
struct SaveDialogOptions {
    std::string title;
    std::filesystem::path initialFolder;
    std::string filterDescription;
    std::string filterPattern;
    std::string fileName;
};

/// Everything the program takes from the platform. The logic libraries call only this; the desktop
/// program supplies a Qt implementation and the tests a scriptable fake.
class Platform {
  public:
    virtual ~Platform() = default;

    /// Where the sound files, the settings and the temporary file live; fixed for the whole run.
    virtual ProgramFolders folders() const = 0;
    /// True only for an existing ordinary file (folders and hidden files count as absent).
    virtual bool fileExists(const std::filesystem::path& path) const = 0;
    /// Holds a lock on the tune file for the rest of the run, creating the file empty when it is
    /// missing and letting go of an earlier one; false when another copy holds it.
    virtual bool lockTuneFile(const std::filesystem::path& path) = 0;
    /// Seconds since local midnight, with at least millisecond resolution.
    virtual double clock() = 0;
    /// Uniform r with 0 <= r < 1; the sequence is the same at every program start.
    virtual float randomNumber() = 0;
    /// Opens and decodes the sound files now, so that a later startSound() plays at once.
    virtual void preloadSounds(const std::vector<std::filesystem::path>& paths) = 0;
    /// Loops the sound file until stopped; silent when it cannot be played. Replaces any sound.
    virtual void startSound(const std::filesystem::path& path) = 0;
    /// Stops whatever sound is playing.
    virtual void stopSound() = 0;
    /// Modal message box; returns the button pressed.
    virtual MessageButton messageBox(std::string_view prompt, std::string_view title,
                                     MessageStyle style) = 0;
    /// Modal save-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<std::filesystem::path>
    saveFileDialog(const SaveDialogOptions& options) = 0;
    /// Ends playing: unloads the main window, which finishes the tune file. Runs once per run.
    virtual void endPlaying() = 0;
    /// A failure no routine handles: tells the user what failed, then the program ends.
    virtual void reportUnhandledFailure(std::string_view message) = 0;
    /// Ends the program at once, with no further window events.
    virtual void endProgram() = 0;
};

} // namespace chimex
