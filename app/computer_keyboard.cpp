// SPDX-License-Identifier: MIT
#include "computer_keyboard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

namespace chimex {
namespace {

/// Milliseconds: no auto-repeat starts sooner after a press; how long a release waits for the
/// press of an auto-repeat that Qt did not mark.
constexpr quint64 shortestRepeatDelay = 150;
constexpr int repeatWait = 8;

/// X11 and Wayland report the Linux input code plus 8 as the native scan code.
constexpr quint32 evdevOffset = 8;

/// The key's position: from the scan code where the platform reports positions, otherwise from
/// what it types, read as a US layout.
int positionOf(const QKeyEvent& event) {
    const QString platform = QGuiApplication::platformName();
    if ((platform == "xcb" || platform.startsWith("wayland")) &&
        event.nativeScanCode() > evdevOffset) {
        return static_cast<int>(event.nativeScanCode() - evdevOffset);
    }
    switch (event.key()) {
    case Qt::Key_Left:
        return KeyMap::octaveDown;
    case Qt::Key_Right:
        return KeyMap::octaveUp;
    default:
        return event.key() < 128 ? KeyMap::positionOf(static_cast<char>(event.key())) : 0;
    }
}

} // namespace

ComputerKeyboard::ComputerKeyboard(KeyHandler press, KeyHandler release, QObject* parent)
    : QObject(parent), press_(std::move(press)), release_(std::move(release)) {}

bool ComputerKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return QObject::eventFilter(watched, event);
    }
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const bool press = event->type() == QEvent::KeyPress;
    if (press && (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false; // a shortcut; its release still ends a note begun before it
    }
    const int position = positionOf(key);
    const bool mapped = KeyMap::isMapped(position);
    if (!mapped || key.isAutoRepeat()) {
        return mapped;
    }
    if (press) {
        keyPress(position, key.timestamp());
    } else {
        keyRelease(position, key.timestamp());
    }
    return true;
}

// Qt marks an auto-repeat (a release and a press with the same time stamp) only when both are
// already queued; when the press comes late, a release after a hold that an auto-repeat could
// follow waits a moment for it.
void ComputerKeyboard::keyRelease(int position, quint64 time) {
    const auto found = down_.find(position);
    if (found == down_.end()) {
        return;
    }
    if (time < found->second.pressedAt + shortestRepeatDelay) {
        keyUp(position);
        return;
    }
    pendingUp_[position] = time;
    QTimer::singleShot(repeatWait, this, [this, position] {
        if (pendingUp_.erase(position)) {
            keyUp(position);
        }
    });
}

void ComputerKeyboard::keyPress(int position, quint64 time) {
    if (const auto pending = pendingUp_.find(position); pending != pendingUp_.end()) {
        const bool repeat = pending->second == time;
        pendingUp_.erase(pending);
        if (repeat) {
            return;
        }
        keyUp(position);
    }
    keyDown(position, time);
}

void ComputerKeyboard::keyDown(int position, quint64 time) {
    if (map_.shiftOctave(position)) {
        emit octaveShifted();
        return;
    }
    const auto pianoKey = map_.pianoKey(position);
    if (pianoKey && !down_.contains(position)) {
        down_[position] = {*pianoKey, time};
        press_(*pianoKey);
    }
}

void ComputerKeyboard::keyUp(int position) {
    const auto found = down_.find(position);
    if (found != down_.end()) {
        const int pianoKey = found->second.pianoKey;
        down_.erase(found);
        release_(pianoKey);
    }
}

} // namespace chimex
