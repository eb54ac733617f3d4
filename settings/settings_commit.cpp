// SPDX-License-Identifier: MIT
#include "settings_commit.h"

#include "numeric_value.h"
#include "settings_file.h"

#include "partfile/number_forms.h"

#include <string>
#include <utility>

namespace chimex {

namespace {

/// The field's numeric value; a value that is not above 0 or lies beyond the single-precision
/// range keeps the setting as it was, as the settings file reader does, so that no setting ever
/// holds infinity, zero or a negative value. Returns false then.
bool commitField(const std::string& text, float& setting) {
    if (const auto value = settingValue(numericValue(text))) {
        setting = *value;
        return true;
    }
    return false;
}

/// Names the fields whose text was not taken, with the value each keeps.
std::string keptValuesText(const std::string& refused) {
    return "These values are not numbers above 0 that fit, so the settings keep their previous "
           "values:" +
           refused;
}

} // namespace

void settingsDialogLoaded(ProgramState& state) {
    state.PauseMode = -1;
}

std::string applySettingsFields(ProgramState& state, SettingsView& view) {
    const std::pair<SettingsField, float ProgramState::*> fields[] = {
        {SettingsField::MaxX, &ProgramState::MaxX},
        {SettingsField::MaxY, &ProgramState::MaxY},
        {SettingsField::MaxZ, &ProgramState::MaxZ},
        {SettingsField::MaxZSpeed, &ProgramState::MaxZSpeed},
        {SettingsField::MaxXYSpeed, &ProgramState::MaxXYSpeed}};
    std::string refused;
    for (const auto& [field, setting] : fields) {
        const std::string text = view.fieldText(field);
        if (!commitField(text, state.*setting)) {
            refused += "\n" + std::string(settingsFieldName(field)) + ": \"" + text.substr(0, 40) +
                       (text.size() > 40 ? "...\"" : "\"") + ", keeps " + plainForm(state.*setting);
        }
    }
    state.BaseSpeed = baseSpeedFor(state.MaxXYSpeed);
    state.HighX = state.HighY = state.HighZ = 0;
    state.LowX = state.LowY = state.LowZ = 0;
    if (view.pauseState() == 1) {
        state.PauseMode = 1;
    }
    return refused.empty() ? refused : keptValuesText(refused);
}

void commitSettings(ProgramState& state, Platform& platform, SettingsView& view) {
    const std::string refused = applySettingsFields(state, view);
    if (!refused.empty()) {
        platform.messageBox(refused, "Tool Settings", MessageStyle::Ok);
    }
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
