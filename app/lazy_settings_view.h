// SPDX-License-Identifier: MIT
#pragma once

#include "app/modal_settings_view.h"
#include "core/program_state.h"
#include "platform/platform.h"

#include <array>
#include <memory>
#include <string>

namespace chimex {

class FrmSettings;

/// The settings dialog as the program's logic drives it. The window is created (loaded) on the
/// first touch of a field, the check box, load() or showModal(); loading sets PauseMode = -1.
/// Closing it runs the settings commit, which writes the settings file.
class LazySettingsView : public ModalSettingsView {
  public:
    LazySettingsView(ProgramState& state, const Platform& platform);
    ~LazySettingsView() override;

    void load() override;
    void showModal() override;
    std::string fieldText(SettingsField field) override;
    void setFieldText(SettingsField field, const std::string& text) override;
    int pauseState() override;
    void setPauseState(int state) override;

    bool isLoaded() const { return dialog_ != nullptr; }
    /// The window, loading it if needed.
    FrmSettings& dialog();

  private:
    void commit();

    ProgramState& state_;
    Platform platform_;
    std::unique_ptr<FrmSettings> dialog_;
    /// The fields' texts when the dialog was shown (the initial ones until then).
    std::array<std::string, 5> opened_{initialFieldTexts[0], initialFieldTexts[1],
                                       initialFieldTexts[2], initialFieldTexts[3],
                                       initialFieldTexts[4]};
};

} // namespace chimex
