// SPDX-License-Identifier: MIT
#include "computer_keyboard.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <xcb/xcb.h>

#include <cstdlib>

namespace chimex {
namespace {

/// Milliseconds: no auto-repeat starts sooner after a press.
constexpr quint64 shortestRepeatDelay = 150;

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

std::optional<bool> displayKeyDown(int position) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const int code = position + static_cast<int>(evdevOffset);
    if (x11 == nullptr || code < 0 || code > 255) {
        return std::nullopt;
    }
    xcb_connection_t* connection = x11->connection();
    xcb_query_keymap_reply_t* reply =
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr);
    if (reply == nullptr) {
        return std::nullopt;
    }
    const bool down = (reply->keys[code / 8] >> (code % 8)) & 1;
    std::free(reply);
    return down;
}

ComputerKeyboard::ComputerKeyboard(KeyHandler press, KeyHandler release, QObject* parent)
    : QObject(parent), press_(std::move(press)), release_(std::move(release)),
      keyDownNow_(displayKeyDown) {}

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

bool ComputerKeyboard::stillDown(int position) const {
    return keyDownNow_ && keyDownNow_(position).value_or(false);
}

// An X11 auto-repeat is a release and a press with one time stamp; Qt marks it only when both
// are already queued. A release after a hold long enough to repeat, of a key the display still
// has down, is such a repeat unless the press that must follow has a later stamp; either way
// the note ends at the release's own time stamp.
void ComputerKeyboard::keyRelease(int position, quint64 time) {
    if (heldAway_.contains(position)) {
        if (!stillDown(position)) {
            heldAway_.erase(position); // let go at last, not an auto-repeat's release
        }
        return;
    }
    const auto found = down_.find(position);
    if (found == down_.end()) {
        return;
    }
    if (time >= found->second.pressedAt + shortestRepeatDelay && stillDown(position)) {
        pendingUp_[position] = time;
        return;
    }
    keyUp(position, time);
}

void ComputerKeyboard::keyPress(int position, quint64 time) {
    if (const auto pending = pendingUp_.find(position); pending != pendingUp_.end()) {
        const quint64 upTime = pending->second;
        pendingUp_.erase(pending);
        if (upTime == time) {
            return;
        }
        keyUp(position, upTime);
    }
    if (heldAway_.contains(position)) {
        return; // still held from before the keyboard was lost
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
        press_(*pianoKey, time);
    }
}

void ComputerKeyboard::keyUp(int position, quint64 time) {
    const auto found = down_.find(position);
    if (found != down_.end()) {
        const int pianoKey = found->second.pianoKey;
        down_.erase(found);
        release_(pianoKey, time);
    }
}

void ComputerKeyboard::forgetKeysDown() {
    const auto pending = pendingUp_;
    pendingUp_.clear();
    for (const auto& [position, time] : pending) {
        keyUp(position, time);
    }
    for (const auto& entry : down_) {
        heldAway_.insert(entry.first);
    }
    down_.clear();
}

void ComputerKeyboard::keyboardRegained() {
    std::erase_if(heldAway_, [this](int position) { return !stillDown(position); });
}

} // namespace chimex
