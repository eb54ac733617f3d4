// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace chimex {

/// When a MIDI message arrived: seconds on the clock of time base `base` (each MIDI system or
/// source keeps its own); a negative base for a message without a time.
struct MidiTime {
    int base = -1;
    double seconds = 0;
};

/// Note messages from MIDI keyboards.
class MidiInput {
  public:
    /// A MIDI note number 0 to 127; `on` for a note-on with velocity above 0, false for a
    /// note-off or a note-on with velocity 0; the time the message arrived.
    using NoteHandler = std::function<void(int note, bool on, MidiTime time)>;

    virtual ~MidiInput() = default;
    /// Starts listening; `handler` is called on the thread that called start(), one message at a
    /// time, in the order the messages arrived.
    virtual void start(NoteHandler handler) = 0;
};

} // namespace chimex
