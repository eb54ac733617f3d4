// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "settings/settings_commit.h"
#include "settings/settings_view.h"

#include <array>
#include <string>

namespace chimex::test {

/// The settings dialog's fields without a window: they start with the dialog's initial texts, and
/// the first touch of a field or the check box runs the load step (PauseMode = -1) once. `View` is
/// SettingsView or an interface built on it.
template <class View> class FakeDialogFields : public View {
  public:
    explicit FakeDialogFields(ProgramState& state) : state_(state) {}

    std::array<std::string, 5> texts{initialFieldTexts[0], initialFieldTexts[1],
                                     initialFieldTexts[2], initialFieldTexts[3],
                                     initialFieldTexts[4]};
    int pause = 0;
    int loadSteps = 0;

    std::string fieldText(SettingsField field) override {
        loadOnce();
        return texts.at(static_cast<std::size_t>(field));
    }
    void setFieldText(SettingsField field, const std::string& text) override {
        loadOnce();
        texts.at(static_cast<std::size_t>(field)) = text;
    }
    int pauseState() override {
        loadOnce();
        return pause;
    }
    void setPauseState(int state) override {
        loadOnce();
        pause = state;
    }

  protected:
    void loadOnce() {
        if (loadSteps == 0) {
            ++loadSteps;
            settingsDialogLoaded(state_);
        }
    }
    ProgramState& state_;
};

using FakeSettingsView = FakeDialogFields<SettingsView>;

} // namespace chimex::test
