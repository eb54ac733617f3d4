// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace chimex {

enum class SettingsField { MaxX, MaxY, MaxZ, MaxXYSpeed, MaxZSpeed };

/// The texts the settings dialog's fields start with, in SettingsField order.
inline constexpr std::array<const char*, 5> initialFieldTexts = {"96", "48", "6", "3", "2"};

/// The setting a field holds, as the user reads it in a message.
inline const char* settingsFieldName(SettingsField field) {
    constexpr const char* names[] = {"MaxX", "MaxY", "MaxZ", "MaxXYSpeed", "MaxZSpeed"};
    return names[static_cast<int>(field)];
}

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
    return {view.fieldText(SettingsField::MaxX), view.fieldText(SettingsField::MaxY),
            view.fieldText(SettingsField::MaxZ), view.fieldText(SettingsField::MaxXYSpeed),
            view.fieldText(SettingsField::MaxZSpeed)};
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
