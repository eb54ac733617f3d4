// SPDX-License-Identifier: MIT
#pragma once

#include "app/key_map.h"

#include <QObject>

#include <functional>
#include <map>

namespace chimex {

/// Plays piano keys from the computer keyboard: an event filter on the main window's widgets
/// that turns the mapped keys' presses and releases into key presses and releases (auto-repeat
/// ignored) and Left and Right into octave shifts. Keys with Ctrl, Alt or Meta, and every other
/// key, go on as before.
class ComputerKeyboard : public QObject {
    Q_OBJECT

  public:
    using KeyHandler = std::function<void(int keyIndex)>;
    ComputerKeyboard(KeyHandler press, KeyHandler release, QObject* parent);

    const KeyMap& map() const { return map_; }
    /// The window lost the keyboard: the keys down now will send no release.
    void forgetKeysDown() {
        down_.clear();
        pendingUp_.clear();
    }

  signals:
    /// The octave shift changed, and with it the keys' labels.
    void octaveShifted();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void keyPress(int position, quint64 time);
    void keyRelease(int position, quint64 time);
    void keyDown(int position, quint64 time);
    void keyUp(int position);

    struct Down {
        int pianoKey;
        quint64 pressedAt; ///< the press's time stamp, milliseconds
    };

    KeyHandler press_;
    KeyHandler release_;
    KeyMap map_;
    std::map<int, Down> down_;         ///< position -> the piano key its press played
    std::map<int, quint64> pendingUp_; ///< released positions -> the release's time stamp
};

} // namespace chimex
