// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <optional>
#include <string>

namespace chimex {

/// Which piano key each computer key plays. Keys are named by position, as Linux input codes
/// (evdev), so every layout plays the same notes in the same places: the row Z S X D C V G B H N
/// J M is one octave from C, the row Q 2 W 3 E R 5 T 6 Y 7 U I 9 O 0 P the 17 notes above it
/// (letters as on a US keyboard). Left and Right shift both rows by an octave.
class KeyMap {
  public:
    static constexpr int octaveDown = 105; ///< Left arrow
    static constexpr int octaveUp = 106;   ///< Right arrow
    static constexpr int highestOctave = 2;

    /// The piano key 0 to 36 the key at `position` plays now, or none.
    std::optional<int> pianoKey(int position) const;
    /// Shifts by an octave when `position` is Left or Right and the shift keeps a mapped key on
    /// the keyboard. True when `position` is one of the two, shifted or not.
    bool shiftOctave(int position);
    /// The octave shift, 0 (Z plays key 0) to 2 (Z plays key 24).
    int octave() const { return octave_; }
    /// The label of the computer key that plays each piano key now; empty where none does.
    std::array<std::string, 37> labels() const;

    /// True for the 29 note keys and Left and Right, whatever they play at this octave.
    static bool isMapped(int position);
    /// The position of the key that types `character` on a US layout, for platforms that do
    /// not report positions; 0 when no mapped key types it.
    static int positionOf(char character);

  private:
    int octave_ = 0;
};

} // namespace chimex
