// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace chimex {

enum class SettingsField { MaxX, MaxY, MaxZ, MaxXYSpeed, MaxZSpeed };

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

} // namespace chimex
