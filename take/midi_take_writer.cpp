// SPDX-License-Identifier: MIT
#include "midi_take_writer.h"

#include "core/key_notes.h"
#include "files/atomic_output_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

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

/// FNV-1a, 64 bits, as 16 hexadecimal digits: seals the events after the mark.
std::string sealOf(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) {
        text[static_cast<std::size_t>(i)] = digits[hash & 0xF];
    }
    return text;
}

/// The text event that opens the track: the program's name and the seal of the events after it,
/// so that a take edited elsewhere no longer counts as one the program may replace.
std::string markEvent(std::string_view events) {
    const std::string text = std::string(takeMarkText) + sealOf(events);
    std::string mark;
    putDelta(mark, 0);
    mark += "\xFF\x01";
    putDelta(mark, static_cast<std::uint32_t>(text.size()));
    return mark + text;
}

std::string fileHeader() {
    std::string header = "MThd";
    putBigEndian(header, 6, 4);
    putBigEndian(header, 0, 2); // format 0
    putBigEndian(header, 1, 2); // one track
    putBigEndian(header, takeTicksPerQuarter, 2);
    return header;
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
    std::string file = fileHeader();
    const std::string events = trackEvents(notes);
    const std::string track = markEvent(events) + events;
    file += "MTrk";
    putBigEndian(file, static_cast<std::uint32_t>(track.size()), 4);
    file += track;
    out.write(file.data(), static_cast<std::streamsize>(file.size()));
}

bool isOwnTake(std::string_view file) {
    const std::string header = fileHeader() + "MTrk";
    const std::size_t trackStart = header.size() + 4;
    if (!file.starts_with(header) || file.size() < trackStart) {
        return false;
    }
    std::uint32_t length = 0;
    for (std::size_t i = header.size(); i < trackStart; ++i) {
        length = (length << 8) | static_cast<std::uint8_t>(file[i]);
    }
    if (length != file.size() - trackStart) {
        return false;
    }
    const std::size_t markSize = markEvent({}).size();
    if (file.size() < trackStart + markSize) {
        return false;
    }
    return file.substr(trackStart, markSize) == markEvent(file.substr(trackStart + markSize));
}

void saveMidiTake(const std::filesystem::path& path, const std::vector<TakeNote>& notes) {
    AtomicOutputFile file(path);
    writeMidiTake(file.stream(), notes);
    file.commit();
}

} // namespace chimex
