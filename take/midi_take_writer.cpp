// SPDX-License-Identifier: MIT
#include "midi_take_writer.h"

#include "core/key_notes.h"
#include "partfile/atomic_output_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace chimex {
namespace {

constexpr std::uint32_t microsecondsPerQuarter = 500000;
constexpr std::uint32_t ticksPerMillisecond = 3;
/// The largest delta time a variable-length quantity holds.
constexpr std::uint32_t longestDelta = 0x0FFFFFFF;
constexpr std::uint8_t velocity = 100;

std::uint32_t ticks(float seconds) {
    const double milliseconds = std::round(static_cast<double>(seconds) * 1000.0);
    const double t = std::clamp(milliseconds * ticksPerMillisecond, 0.0, double{longestDelta});
    return static_cast<std::uint32_t>(t);
}

void putBigEndian(std::string& bytes, std::uint32_t value, int size) {
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8) {
        bytes += static_cast<char>((value >> shift) & 0xFF);
    }
}

void putDelta(std::string& bytes, std::uint32_t delta) {
    std::string reversed(1, static_cast<char>(delta & 0x7F));
    for (delta >>= 7; delta > 0; delta >>= 7) {
        reversed += static_cast<char>(0x80 | (delta & 0x7F));
    }
    bytes.append(reversed.rbegin(), reversed.rend());
}

void putEvent(std::string& bytes, std::uint32_t delta, std::uint8_t status, int note,
              std::uint8_t value) {
    putDelta(bytes, delta);
    bytes += static_cast<char>(status);
    bytes += static_cast<char>(note);
    bytes += static_cast<char>(value);
}

std::string trackEvents(const std::vector<TakeNote>& notes) {
    std::string track;
    putDelta(track, 0);
    track += "\xFF\x51\x03";
    putBigEndian(track, microsecondsPerQuarter, 3);
    for (const TakeNote& note : notes) {
        const int midiNote = noteForKey(note.key);
        putEvent(track, ticks(note.gap), 0x90, midiNote, velocity);
        putEvent(track, std::max<std::uint32_t>(ticks(note.hold), 1), 0x80, midiNote, 64);
    }
    putDelta(track, 0);
    track += "\xFF\x2F";
    track += '\0';
    return track;
}

} // namespace

void writeMidiTake(std::ostream& out, const std::vector<TakeNote>& notes) {
    std::string file = "MThd";
    putBigEndian(file, 6, 4);
    putBigEndian(file, 0, 2); // format 0
    putBigEndian(file, 1, 2); // one track
    putBigEndian(file, takeTicksPerQuarter, 2);
    const std::string track = trackEvents(notes);
    file += "MTrk";
    putBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    file += track;
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
}

void saveMidiTake(const std::filesystem::path& path, const std::vector<TakeNote>& notes) {
    AtomicOutputFile file(path);
    writeMidiTake(file.stream(), notes);
    file.commit();
}

} // namespace chimex
