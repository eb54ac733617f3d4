// SPDX-License-Identifier: MIT
#include "settings_commit.h"

#include "numeric_value.h"
#include "settings_file.h"

#include "partfile/number_forms.h"

#include <array>
#include <optional>
#include <string>

namespace chimex {

namespace {

using FieldTexts = std::array<std::string, 5>;

/// The value a field's text stands for, when it may be committed: a usable value that fits in
/// single precision.
std::optional<float> acceptedValue(SettingsField field, const std::string& text) {
    const auto value = toSingle(numericValue(text));
    if (value && !usableValue(field, *value)) {
        return std::nullopt;
    }
    return value;
}

/// What a refused field keeps: the value it showed when the dialog opened, or its initial value
/// when that could not be committed either.
float keptValue(SettingsField field, const FieldTexts& opened) {
    const auto i = static_cast<std::size_t>(field);
    if (const auto value = acceptedValue(field, opened[i])) {
        return *value;
    }
    return *acceptedValue(field, initialFieldTexts[i]);
}

std::string refusalLine(SettingsField field, const std::string& text, float kept) {
    const bool tooSlow = toSingle(numericValue(text)).has_value(); // fits, yet not usable
    return "\n" + std::string(settingsFieldName(field)) + ": \"" + text.substr(0, 40) +
           (text.size() > 40 ? "...\"" : "\"") + (tooSlow ? " is not above 0" : " is too large") +
           ", keeps " + plainForm(kept);
}

} // namespace

void settingsDialogLoaded(ProgramState& state) {
    state.PauseMode = -1;
}

std::string applySettingsFields(ProgramState& state, SettingsView& view, const FieldTexts& opened) {
    // The dialog's own order of taking them: the Z speed before the X and Y speed.
    constexpr SettingsField order[] = {SettingsField::MaxX, SettingsField::MaxY,
                                       SettingsField::MaxZ, SettingsField::MaxZSpeed,
                                       SettingsField::MaxXYSpeed};
    std::string refused;
    for (const SettingsField field : order) {
        float ProgramState::*const setting = settingKey(field).value;
        const std::string text = view.fieldText(field);
        if (const auto value = acceptedValue(field, text)) {
            state.*setting = *value;
        } else {
            state.*setting = keptValue(field, opened);
            refused += refusalLine(field, text, state.*setting);
        }
    }
    state.BaseSpeed = baseSpeedFor(state.MaxXYSpeed);
    state.HighX = state.HighY = state.HighZ = 0;
    state.LowX = state.LowY = state.LowZ = 0;
    if (view.pauseState() == 1) {
        state.PauseMode = 1;
    }
    return refused.empty() ? refused
                           : "These values cannot be used, so each of these settings keeps the "
                             "value the dialog opened with, or its initial value:" +
                                 refused;
}

void commitSettings(ProgramState& state, Dialogs& dialogs, const ProgramFiles& files,
                    SettingsView& view, const FieldTexts& opened) {
    const std::string refused = applySettingsFields(state, view, opened);
    if (!refused.empty()) {
        dialogs.messageBox(refused, "Tool Settings", MessageStyle::Ok);
    }
    writeSettingsFile(state, files, view.pauseState());
}

void settleSettings(ProgramState& state, const std::function<void()>& read,
                    const std::function<void()>& close) {
    read();
    close();
    state.TopXYSpeed = 0;
    state.TopZSpeed = 0;
}

} // namespace chimex
