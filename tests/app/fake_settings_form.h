// SPDX-License-Identifier: MIT
#pragma once

#include "app/settings_form.h"
#include "core/program_state.h"
#include "platform/platform.h"
#include "settings/settings_commit.h"

#include <array>
#include <functional>
#include <string>

namespace chimex {

/// The settings dialog without a window: fields with the dialog's initial texts, loaded on first
/// touch, and a showModal() that runs `whileShown` and then closes with the real commit.
class FakeSettingsForm : public SettingsForm {
  public:
    FakeSettingsForm(ProgramState& state, Platform& platform)
        : state_(state), platform_(platform) {}

    std::array<std::string, 5> texts = {"96", "48", "6", "3", "2"};
    int pause = 0;
    int loadSteps = 0; ///< how often the load step ran (the dialog loads at most once)
    int shows = 0;
    std::function<void()> whileShown;

    void load() override {
        if (loadSteps == 0) {
            ++loadSteps;
            settingsDialogLoaded(state_);
        }
    }
    void showModal() override {
        load();
        ++shows;
        if (whileShown) {
            whileShown();
        }
        commitSettings(state_, platform_, *this);
    }
    std::string fieldText(SettingsField field) override {
        load();
        return texts.at(static_cast<std::size_t>(field));
    }
    void setFieldText(SettingsField field, const std::string& text) override {
        load();
        texts.at(static_cast<std::size_t>(field)) = text;
    }
    int pauseState() override {
        load();
        return pause;
    }
    void setPauseState(int state) override {
        load();
        pause = state;
    }

  private:
    ProgramState& state_;
    Platform& platform_;
};

} // namespace chimex
