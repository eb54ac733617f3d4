// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

/// Modal dialogs and message boxes.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    /// Modal message box; returns the button pressed.
    virtual MessageButton messageBox(std::string_view prompt, std::string_view title,
                                     MessageStyle style) = 0;
    /// Modal save-file dialog; the chosen full path, or nothing when cancelled.
    virtual std::optional<std::filesystem::path>
    saveFileDialog(const SaveDialogOptions& options) = 0;
};

} // namespace chimex
