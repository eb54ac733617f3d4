// SPDX-License-Identifier: MIT
#include "settings_commit.h"

#include "numeric_value.h"
#include "settings_file.h"

namespace chimex {

namespace {

/// The field's numeric value; a value that is not above 0 or lies beyond the single-precision
/// range keeps the setting as it was, as the settings file reader does, so that no setting ever
/// holds infinity, zero or a negative value.
void commitField(SettingsView& view, SettingsField field, float& setting) {
    if (const auto value = settingValue(numericValue(view.fieldText(field)))) {
        setting = *value;
    }
}

} // namespace

void settingsDialogLoaded(ProgramState& state) {
    state.PauseMode = -1;
}

void applySettingsFields(ProgramState& state, SettingsView& view) {
    commitField(view, SettingsField::MaxX, state.MaxX);
    commitField(view, SettingsField::MaxY, state.MaxY);
    commitField(view, SettingsField::MaxZ, state.MaxZ);
    commitField(view, SettingsField::MaxZSpeed, state.MaxZSpeed);
    commitField(view, SettingsField::MaxXYSpeed, state.MaxXYSpeed);
    state.BaseSpeed = baseSpeedFor(state.MaxXYSpeed);
    state.HighX = state.HighY = state.HighZ = 0;
    state.LowX = state.LowY = state.LowZ = 0;
    if (view.pauseState() == 1) {
        state.PauseMode = 1;
    }
}

void commitSettings(ProgramState& state, Platform& platform, SettingsView& view) {
    applySettingsFields(state, view);
    writeSettingsFile(state, platform, view.pauseState());
}

void settleSettings(ProgramState& state, const std::function<void()>& read,
                    const std::function<void()>& close) {
    read();
    close();
    state.TopXYSpeed = 0;
    state.TopZSpeed = 0;
}

} // namespace chimex
