// SPDX-License-Identifier: MIT
#include "note_key.h"

#include "app/keyboard_layout.h"

#include <QMouseEvent>
#include <QPainter>

namespace chimex {

NoteKey::NoteKey(int index, QWidget* parent) : QPushButton(parent), index_(index) {
    setObjectName(QString("cmdNote_%1").arg(index));
    setAccessibleName(QString("cmdNote(%1)").arg(index));
    setFlat(true);
    setAutoDefault(false);
    // Tab reaches a key; a mouse press leaves the focus where it is (the release moves it on).
    setFocusPolicy(Qt::TabFocus);
    const TwipRect rect = keyRect(index);
    setGeometry(pixels(rect.left), pixels(rect.top), pixels(rect.width), pixels(rect.height));
}

void NoteKey::setHeld(bool held) {
    if (held_ != held) {
        held_ = held;
        update();
    }
}

void NoteKey::setLabel(const QString& label) {
    if (label_ != label) {
        label_ = label;
        update();
    }
}

void NoteKey::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit notePressed(index_, event->timestamp());
}

void NoteKey::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    emit noteReleased(index_, event->buttons() == Qt::NoButton, event->timestamp());
}

void NoteKey::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt sends the second press of a double click as this event: it is a press like any other.
    mousePressEvent(event);
}

void NoteKey::paintEvent(QPaintEvent*) {
    const bool black = isBlackKey(index_);
    QColor face = black ? QColor(0, 0, 0) : QColor(255, 255, 255);
    if (held_) {
        face = black ? QColor(70, 95, 140) : QColor(185, 205, 235);
    }
    QPainter painter(this);
    painter.fillRect(rect(), face);
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!label_.isEmpty()) {
        // Small, grey and at the foot of the key, where the held colour still shows around it.
        QFont font = painter.font();
        font.setPixelSize(10);
        painter.setFont(font);
        painter.setPen(black ? QColor(200, 200, 200) : QColor(90, 90, 90));
        painter.drawText(rect().adjusted(0, 0, 0, -4), Qt::AlignHCenter | Qt::AlignBottom, label_);
    }
    if (hasFocus()) {
        painter.setPen(QPen(black ? Qt::white : Qt::black, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

} // namespace chimex
