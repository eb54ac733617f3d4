// SPDX-License-Identifier: MIT
#include "frm_settings.h"

#include "app/settings_dialog.h"
#include "core/run_guarded.h"
#include "settings/settings_commit.h"

#include <QLineEdit>

namespace chimex {

FrmSettings::FrmSettings(ProgramState& state, Platform& platform)
    : state_(state), platform_(platform) {}

FrmSettings::~FrmSettings() = default;

SettingsDialog& FrmSettings::dialog() {
    load();
    return *dialog_;
}

void FrmSettings::load() {
    if (dialog_) {
        return;
    }
    dialog_ = std::make_unique<SettingsDialog>([this] { commit(); });
    settingsDialogLoaded(state_);
}

void FrmSettings::showModal() {
    dialog().exec();
}

void FrmSettings::commit() {
    runGuarded(platform_, [this] { commitSettings(state_, platform_, *this); });
}

std::string FrmSettings::fieldText(SettingsField field) {
    return dialog().field(field)->text().toStdString();
}

void FrmSettings::setFieldText(SettingsField field, const std::string& text) {
    dialog().field(field)->setText(QString::fromStdString(text));
}

int FrmSettings::pauseState() {
    return dialog().pauseState();
}

void FrmSettings::setPauseState(int state) {
    dialog().setPauseState(state);
}

} // namespace chimex
