// SPDX-License-Identifier: MIT
#include "cli_settings.h"

#include "cli/input_failure.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <array>
#include <string>

namespace chimex {
namespace {

/// The settings dialog without a window, holding the dialog's initial values.
class InitialSettingsView : public SettingsView {
  public:
    std::string fieldText(SettingsField field) override { return fields_[index(field)]; }
    void setFieldText(SettingsField field, const std::string& text) override {
        fields_[index(field)] = text;
    }
    int pauseState() override { return pause_; }
    void setPauseState(int state) override { pause_ = state; }

  private:
    static std::size_t index(SettingsField field) { return static_cast<std::size_t>(field); }

    std::array<std::string, 5> fields_ = {"96", "48", "6", "3", "2"};
    int pause_ = 0;
};

void copySettingsFile(const std::filesystem::path& from, const std::filesystem::path& folder) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(from, error)) {
        throw InputFailure("Settings file " + from.string() + " does not exist or is not a file");
    }
    std::filesystem::copy_file(from, folder / settingsFileName,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        throw InputFailure("Cannot read the settings file " + from.string() + ": " +
                           error.message());
    }
}

} // namespace

void applySettings(ProgramState& state, Platform& platform, const SettingsChoice& choice) {
    InitialSettingsView view;
    settingsDialogLoaded(state);
    if (choice.file) {
        copySettingsFile(*choice.file, platform.programFolder());
    }
    readSettingsFile(state, platform, view);
    if (choice.pause) {
        view.setPauseState(1);
    }
    commitSettings(state, platform, view);
    state.TopXYSpeed = 0;
    state.TopZSpeed = 0;
}

} // namespace chimex
