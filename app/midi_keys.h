// SPDX-License-Identifier: MIT
#pragma once

#include "platform/midi_input.h"

#include <functional>
#include <optional>

namespace chimex {

/// Plays piano keys from MIDI notes: a note-on presses the key of its note moved by octaves into
/// C3 to C6 (the last note wins: the caller releases whatever sounds first); a note-off releases
/// that key only while its own note is the one that sounds.
class MidiKeys {
  public:
    using KeyHandler = std::function<void(int keyIndex, MidiTime time)>;
    MidiKeys(KeyHandler press, KeyHandler release)
        : press_(std::move(press)), release_(std::move(release)) {}

    void note(int note, bool on, MidiTime time = {});

  private:
    KeyHandler press_;
    KeyHandler release_;
    std::optional<int> sounding_; ///< the note of the last note-on not yet released
};

} // namespace chimex
