// SPDX-License-Identifier: MIT
#pragma once

#include "app/key_map.h"

#include <QObject>

#include <functional>
#include <map>
#include <optional>
#include <set>

namespace chimex {

/// Plays piano keys from the computer keyboard: an event filter on the main window's widgets
/// that turns the mapped keys' presses and releases into key presses and releases (auto-repeat
/// ignored) and Left and Right into octave shifts. Keys with Ctrl, Alt or Meta, and every other
/// key, go on as before. Each press and release comes with its event's time stamp.
class ComputerKeyboard : public QObject {
    Q_OBJECT

  public:
    /// `time` is the key event's time stamp in milliseconds.
    using KeyHandler = std::function<void(int keyIndex, quint64 time)>;
    /// Whether the key at a position is down now, as the display server tells; nothing where it
    /// cannot tell.
    using KeyDownQuery = std::function<std::optional<bool>(int position)>;
    ComputerKeyboard(KeyHandler press, KeyHandler release, QObject* parent);

    const KeyMap& map() const { return map_; }
    void setKeyDownQuery(KeyDownQuery query) { keyDownNow_ = std::move(query); }

    /// The window lost the keyboard: the keys down now send no release here. A release that
    /// waited for its auto-repeat ends its note now; the keys stay ignored until pressed anew.
    void forgetKeysDown();
    /// The window has the keyboard again: a key let go meanwhile plays at its next press.
    void keyboardRegained();

  signals:
    /// The octave shift changed, and with it the keys' labels.
    void octaveShifted();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void keyPress(int position, quint64 time);
    void keyRelease(int position, quint64 time);
    void keyDown(int position, quint64 time);
    void keyUp(int position, quint64 time);
    bool stillDown(int position) const;

    struct Down {
        int pianoKey;
        quint64 pressedAt; ///< the press's time stamp, milliseconds
    };

    KeyHandler press_;
    KeyHandler release_;
    KeyDownQuery keyDownNow_;
    KeyMap map_;
    std::map<int, Down> down_;         ///< position -> the piano key its press played
    std::map<int, quint64> pendingUp_; ///< releases whose auto-repeat press is on its way
    std::set<int> heldAway_;           ///< positions held when the keyboard was lost
};

/// The display server's answer for the key at a position (X11); nothing on other platforms.
std::optional<bool> displayKeyDown(int position);

} // namespace chimex
