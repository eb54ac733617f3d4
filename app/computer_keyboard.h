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
    void forgetKeysDown() { down_.clear(); }

  signals:
    /// The octave shift changed, and with it the keys' labels.
    void octaveShifted();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void keyDown(int position);
    void keyUp(int position);

    KeyHandler press_;
    KeyHandler release_;
    KeyMap map_;
    std::map<int, int> down_; ///< position -> the piano key its press played
};

} // namespace chimex
