// SPDX-License-Identifier: MIT
#pragma once

#include "settings/setting_keys.h"

#include <array>
#include <cstddef>
#include <string>

namespace chimex {

/// The settings dialog as the settings logic sees it. The Qt dialog implements it; the first
/// touch of a field or the check box loads (creates) the dialog, whose load step sets
/// PauseMode = -1. Check box states: 0 unchecked, 1 checked, 2 greyed.
class SettingsView {
  public:
    virtual ~SettingsView() = default;
    virtual std::string fieldText(SettingsField field) = 0;
    virtual void setFieldText(SettingsField field, const std::string& text) = 0;
    virtual int pauseState() = 0;
    virtual void setPauseState(int state) = 0;
};

/// The texts of the five fields, in SettingsField order.
inline std::array<std::string, 5> fieldTexts(SettingsView& view) {
    std::array<std::string, 5> texts;
    for (const SettingKey& key : settingKeys) {
        texts[static_cast<std::size_t>(key.field)] = view.fieldText(key.field);
    }
    return texts;
}

/// The dialog's fields and check box without a window, starting with the initial texts and an
/// unticked box: what chimex-cli works with.
class SettingsFields : public SettingsView {
  public:
    std::string fieldText(SettingsField field) override { return texts[index(field)]; }
    void setFieldText(SettingsField field, const std::string& text) override {
        texts[index(field)] = text;
    }
    int pauseState() override { return pause; }
    void setPauseState(int state) override { pause = state; }

    std::array<std::string, 5> texts{initialFieldTexts[0], initialFieldTexts[1],
                                     initialFieldTexts[2], initialFieldTexts[3],
                                     initialFieldTexts[4]};
    int pause = 0;

  private:
    static std::size_t index(SettingsField field) { return static_cast<std::size_t>(field); }
};

} // namespace chimex
