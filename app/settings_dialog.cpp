// SPDX-License-Identifier: MIT
#include "settings_dialog.h"

#include "app/keyboard_layout.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace chimex {

namespace {

/// A text field that selects its whole text whenever it receives the focus, so typing replaces it.
class SelectingLineEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        selectAll();
    }
};

/// A three-state box whose clicks only toggle between unchecked and checked; the greyed state
/// comes only from the settings file.
class PauseCheckBox : public QCheckBox {
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

struct FieldLayout {
    SettingsField field;
    const char* name;
    int left, top, width, height;
};

constexpr FieldLayout fieldLayouts[] = {
    {SettingsField::MaxX, "txtMaxX", 120, 240, 855, 285},
    {SettingsField::MaxY, "txtMaxY", 120, 720, 855, 285},
    {SettingsField::MaxZ, "txtMaxZ", 120, 1200, 855, 285},
    {SettingsField::MaxXYSpeed, "txtMaxXYSpeed", 120, 2040, 615, 285},
    {SettingsField::MaxZSpeed, "txtMaxZSpeed", 120, 2520, 615, 285},
};

constexpr const char* pauseTip =
    "If this is un-checked the notes will play continuously...if checked there will be a Pause "
    "inserted between the time you stop playing one note and start playing the next.";

QRect twipRect(int left, int top, int width, int height) {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

} // namespace

FrmSettings::FrmSettings(std::function<void()> onUnload) : onUnload_(std::move(onUnload)) {
    setObjectName("frmSettings");
    setWindowTitle("Tool Settings");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowSystemMenuHint);
    setFixedSize(pixels(3300), pixels(4350));

    for (const auto& layout : fieldLayouts) {
        const auto field = static_cast<std::size_t>(layout.field);
        auto* edit = new SelectingLineEdit(initialFieldTexts[field], this);
        edit->setObjectName(layout.name);
        edit->setGeometry(twipRect(layout.left, layout.top, layout.width, layout.height));
        fields_[field] = edit;
    }
    addLabel("Label1", "Maximum move for X Axis?", 1080, 240, 2055, 255);
    addLabel("Label9", "Maximum move for Y Axis?", 1080, 720, 2055, 255);
    addLabel("Label14", "Maximum move for Z Axis?", 1080, 1200, 2055, 255);
    addLabel("Label3", "Max Jog Speed for X and Y axis", 840, 2040, 2295, 255);
    addLabel("Label12", "Max Jog Speed for Z axis", 840, 2520, 2055, 255);

    auto* line = new QFrame(this);
    line->setObjectName("Line1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setGeometry(pixels(240), pixels(1800), pixels(3000 - 240) + 1, 1);

    chkPause_ = new PauseCheckBox("Insert PAUSE commands between notes", this);
    chkPause_->setObjectName("chkPause");
    chkPause_->setGeometry(twipRect(120, 3120, 3015, 375));
    chkPause_->setToolTip(pauseTip);

    cmdSaveSettings_ = new QPushButton("Save settings", this);
    cmdSaveSettings_->setObjectName("cmdSaveSettings");
    cmdSaveSettings_->setGeometry(twipRect(840, 3720, 1335, 375));
    cmdSaveSettings_->setAutoDefault(false);
    cmdSaveSettings_->setDefault(false);
    connect(cmdSaveSettings_, &QPushButton::clicked, this, &QDialog::close);

    for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
        setTabOrder(fields_[i], fields_[i + 1]);
    }
    setTabOrder(fields_.back(), cmdSaveSettings_);
    setTabOrder(cmdSaveSettings_, chkPause_);
    fields_.front()->setFocus();
    fitFont();
}

void FrmSettings::fitFont() {
    // The layout is measured for an 8-point face at 96 dots an inch (11 pixels high). The desktop's
    // usual font is larger and often wider, so take the largest size up to that at which every
    // caption fits its control.
    QFont face = font();
    for (int size = 11; size >= 8; --size) {
        face.setPixelSize(size);
        setFont(face);
        if (captionsFit()) {
            return;
        }
    }
}

bool FrmSettings::captionsFit() const {
    for (const QLabel* label : findChildren<QLabel*>()) {
        if (label->fontMetrics().horizontalAdvance(label->text()) > label->width()) {
            return false;
        }
    }
    return chkPause_->sizeHint().width() <= chkPause_->width();
}

void FrmSettings::addLabel(const char* name, const char* text, int left, int top, int width,
                           int height) {
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(twipRect(left, top, width, height));
}

QLineEdit* FrmSettings::field(SettingsField field) const {
    return fields_.at(static_cast<std::size_t>(field));
}

int FrmSettings::pauseState() const {
    switch (chkPause_->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void FrmSettings::setPauseState(int state) {
    switch (state) {
    case 0:
        chkPause_->setCheckState(Qt::Unchecked);
        break;
    case 1:
        chkPause_->setCheckState(Qt::Checked);
        break;
    case 2:
        chkPause_->setCheckState(Qt::PartiallyChecked);
        break;
    default:
        break;
    }
}

void FrmSettings::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        event->accept(); // backing out of an edit must not save the settings
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && cmdSaveSettings_->hasFocus()) {
        cmdSaveSettings_->click(); // as a focused push button does on the desktop
        return;
    }
    QDialog::keyPressEvent(event);
}

void FrmSettings::done(int result) {
    // Every way of closing the dialog ends here (the button, the close box, the window manager).
    if (!unloaded_) {
        unloaded_ = true;
        onUnload_();
    }
    QDialog::done(result);
}

} // namespace chimex
