// SPDX-License-Identifier: MIT
#pragma once

#include "settings/settings_view.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace chimex {

/// The window "Tool Settings" (frmSettings): five fields, the pause check box and the button
/// "Save settings". However it closes (button, close box, the window manager), `onUnload` runs
/// once first. Escape does nothing: the button is neither the default nor the cancel button.
class FrmSettings : public QDialog {
    Q_OBJECT

  public:
    explicit FrmSettings(std::function<void()> onUnload);

    QLineEdit* field(SettingsField field) const;
    QCheckBox* pauseBox() const { return chkPause_; }
    /// 0 unchecked, 1 checked, 2 greyed.
    int pauseState() const;
    /// Any other value leaves the box as it is.
    void setPauseState(int state);

    void done(int result) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fitFont();
    bool captionsFit() const;
    void addLabel(const char* name, const char* text, int left, int top, int width, int height);

    std::function<void()> onUnload_;
    bool unloaded_ = false;
    std::array<QLineEdit*, 5> fields_{};
    QCheckBox* chkPause_ = nullptr;
    QPushButton* cmdSaveSettings_ = nullptr;
};

} // namespace chimex
