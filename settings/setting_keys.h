// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"

#include <array>
#include <cstddef>

namespace chimex {

enum class SettingsField { MaxX, MaxY, MaxZ, MaxXYSpeed, MaxZSpeed };

/// One of the five settings, as every part of the program names it.
struct SettingKey {
    SettingsField field;
    const char* name;        ///< as the user reads it in a message
    const char* written;     ///< the key of its line in the settings file (read in any case)
    const char* initialText; ///< what the settings dialog's field starts with
    float ProgramState::*value;
};

/// The five settings in SettingsField order, which is also the order of the settings file's lines.
inline constexpr std::array<SettingKey, 5> settingKeys = {{
    {SettingsField::MaxX, "MaxX", "MaxX", "96", &ProgramState::MaxX},
    {SettingsField::MaxY, "MaxY", "MaxY", "48", &ProgramState::MaxY},
    {SettingsField::MaxZ, "MaxZ", "MaxZ", "6", &ProgramState::MaxZ},
    {SettingsField::MaxXYSpeed, "MaxXYSpeed", "MAxXYSpeed", "3", &ProgramState::MaxXYSpeed},
    {SettingsField::MaxZSpeed, "MaxZSpeed", "MAxZSpeed", "2", &ProgramState::MaxZSpeed},
}};

/// The key of the sixth line, the pause check box's state.
inline constexpr const char* pauseKey = "ADdPause";

inline constexpr const SettingKey& settingKey(SettingsField field) {
    return settingKeys[static_cast<std::size_t>(field)];
}

/// The texts the settings dialog's fields start with, in SettingsField order.
inline constexpr std::array<const char*, 5> initialFieldTexts = [] {
    std::array<const char*, 5> texts{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = settingKeys[i].initialText;
    }
    return texts;
}();

/// The setting a field holds, as the user reads it in a message.
inline const char* settingsFieldName(SettingsField field) {
    return settingKey(field).name;
}

/// Whether a setting may take `value`: every number does, except a MaxXYSpeed not above 0,
/// since every key's speed is a share of it (an axis with a limit of 0 or less is never moved).
inline bool usableValue(SettingsField field, float value) {
    return field != SettingsField::MaxXYSpeed || value > 0;
}

} // namespace chimex
