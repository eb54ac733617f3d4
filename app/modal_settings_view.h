// SPDX-License-Identifier: MIT
#pragma once

#include "settings/settings_view.h"

namespace chimex {

/// The settings dialog as start-up drives it: loaded at most once, then shown modally once.
/// Closing it, however it is closed, runs the settings commit before showModal() returns.
class ModalSettingsView : public SettingsView {
  public:
    /// Creates the dialog when it does not exist yet; its load step sets PauseMode = -1.
    virtual void load() = 0;
    /// Loads if needed, shows the dialog modally without an owner and returns once it has closed.
    virtual void showModal() = 0;
};

} // namespace chimex
