// SPDX-License-Identifier: MIT
#include "midi_keys.h"

#include "core/key_notes.h"

namespace chimex {

void MidiKeys::note(int note, bool on, MidiTime time) {
    if (on) {
        sounding_ = note;
        press_(keyForNote(note), time);
    } else if (sounding_ == note) {
        sounding_.reset();
        release_(keyForNote(note), time);
    }
}

} // namespace chimex
