// SPDX-License-Identifier: MIT
#include "lazy_settings_view.h"

#include "app/settings_dialog.h"
#include "core/run_guarded.h"
#include "settings/settings_commit.h"

#include <QLineEdit>

namespace chimex {

LazySettingsView::LazySettingsView(ProgramState& state, const Platform& platform)
    : state_(state), platform_(platform) {}

LazySettingsView::~LazySettingsView() = default;

FrmSettings& LazySettingsView::dialog() {
    load();
    return *dialog_;
}

void LazySettingsView::load() {
    if (dialog_) {
        return;
    }
    dialog_ = std::make_unique<FrmSettings>([this] { commit(); });
    settingsDialogLoaded(state_);
}

void LazySettingsView::showModal() {
    opened_ = fieldTexts(*this);
    dialog().exec();
}

void LazySettingsView::commit() {
    runGuarded(platform_.lifetime, [this] {
        commitSettings(state_, platform_.dialogs, platform_.files, *this, opened_);
    });
}

std::string LazySettingsView::fieldText(SettingsField field) {
    return dialog().field(field)->text().toStdString();
}

void LazySettingsView::setFieldText(SettingsField field, const std::string& text) {
    dialog().field(field)->setText(QString::fromStdString(text));
}

int LazySettingsView::pauseState() {
    return dialog().pauseState();
}

void LazySettingsView::setPauseState(int state) {
    dialog().setPauseState(state);
}

} // namespace chimex
