// SPDX-License-Identifier: MIT
#include "settings_choice.h"

#include "files/failure.h"
#include "files/own_file.h"
#include "partfile/number_forms.h"
#include "platform/program_folders.h"
#include "settings/setting_keys.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "settings/settings_view.h"

#include <string>

namespace chimex {
namespace {

/// Key 0 jogs at MaxXYSpeed / 8.2 to three decimals: below this it would jog at 0, written as a
/// speed and a feed of 0; a note tuned under a slower MaxZSpeed would be written so too.
constexpr float slowestTopSpeed = 0.0041f;
/// Far beyond any machine (100 m/s in millimetres), and every feed a minute, of a chord of three
/// axes too, keeps within the eight digits GRBL reads.
constexpr float fastestTopSpeed = 1e5f;

/// Refuses a fastest speed no machine has and our files cannot state: a MaxXYSpeed, or a
/// MaxZSpeed above 0 (0 or less keeps every note off Z), outside slowestTopSpeed to
/// fastestTopSpeed.
void refuseUnplayableSpeeds(const std::filesystem::path& file, const ProgramState& state) {
    for (const SettingsField field : {SettingsField::MaxXYSpeed, SettingsField::MaxZSpeed}) {
        const SettingKey& key = settingKey(field);
        const float speed = state.*key.value;
        const bool z = field == SettingsField::MaxZSpeed;
        const std::string name = std::string(key.written) + " " + plainForm(speed);
        if (speed < slowestTopSpeed && !(z && speed <= 0)) {
            const std::string what = z ? "a note on Z" : "key 0";
            throw InputFailure(
                file.string(), 0,
                name + " is too slow: " + what + " would jog at a speed written as 0 (at least " +
                    plainForm(slowestTopSpeed) + (z ? "; 0 or less keeps every note off Z)" : ")"));
        }
        if (speed > fastestTopSpeed) {
            throw InputFailure(file.string(), 0,
                               name + " is faster than any machine jogs (at most " +
                                   plainForm(fastestTopSpeed) + " length units a second)");
        }
    }
}

/// Sets each field whose applied value is above the machine's bound to the bound, so that the
/// settings' own rules (BaseSpeed from MaxXYSpeed) follow it. Whether any field changed.
bool boundFields(const ProgramState& state, const MachineLimits& bound, SettingsFields& fields) {
    const MachineLimits applied = limitsOf(state);
    bool changed = false;
    for (std::size_t i = 0; i < settingKeys.size(); ++i) {
        const float most = bound.*limitMembers[i];
        if (applied.*limitMembers[i] > most) {
            fields.setFieldText(static_cast<SettingsField>(i), plainForm(most));
            changed = true;
        }
    }
    return changed;
}

} // namespace

void applySettings(ProgramState& state, const SettingsChoice& choice) {
    SettingsFields fields;
    settleSettings(
        state,
        [&] {
            settingsDialogLoaded(state);
            if (choice.file) {
                readSettingsStrictly(*choice.file, state, fields);
                refuseUnplayableSpeeds(*choice.file, state);
            }
        },
        [&] {
            const auto opened = fieldTexts(fields);
            if (choice.pause) {
                fields.setPauseState(1);
            }
            applySettingsFields(state, fields, opened);
            if (choice.machineBound && boundFields(state, *choice.machineBound, fields)) {
                applySettingsFields(state, fields, opened);
            }
        });
}

std::optional<std::filesystem::path> desktopSettingsFile() {
    const auto path = settingsFilePath(findProgramFolders(executableFolder(), userFolders()));
    // Whatever stands there is read, so that a folder, FIFO or broken link is refused with its
    // reason instead of silently giving the initial limits.
    if (!somethingAt(path)) {
        return std::nullopt;
    }
    return path;
}

MachineLimits machineLimits(const SettingsChoice& choice) {
    ProgramState state;
    applySettings(state, choice);
    return limitsOf(state);
}

} // namespace chimex
