// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace chimex::test {

using Bytes = std::vector<std::uint8_t>;

/// Builds the events of one MIDI track chunk; each call adds an event after `delta` ticks.
class TrackBuilder {
  public:
    TrackBuilder& on(std::uint32_t delta, int key, int velocity = 100, int channel = 0) {
        return event(delta, {static_cast<std::uint8_t>(0x90 | channel),
                             static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)});
    }
    TrackBuilder& off(std::uint32_t delta, int key, int channel = 0) {
        return event(
            delta, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 64});
    }
    TrackBuilder& tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
        return event(delta, {0xFF, 0x51, 3, static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
                             static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
                             static_cast<std::uint8_t>(microsecondsPerQuarter)});
    }
    /// Any bytes after a delta time: running-status data, sysex, damaged events.
    TrackBuilder& event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes) {
        variableLength(delta);
        data_.insert(data_.end(), bytes);
        return *this;
    }
    TrackBuilder& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0}); }

    Bytes chunk() const {
        Bytes out = {'M', 'T', 'r', 'k'};
        appendBigEndian(out, static_cast<std::uint32_t>(data_.size()), 4);
        out.insert(out.end(), data_.begin(), data_.end());
        return out;
    }

    static void appendBigEndian(Bytes& out, std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }

  private:
    void variableLength(std::uint32_t value) {
        std::uint8_t groups[5];
        int n = 0;
        do {
            groups[n++] = value & 0x7F;
            value >>= 7;
        } while (value != 0);
        while (n > 1) {
            data_.push_back(groups[--n] | 0x80);
        }
        data_.push_back(groups[0]);
    }

    Bytes data_;
};

/// A whole Standard MIDI File; `division` as it stands in the header (0x8000 bit for SMPTE).
inline Bytes midiFile(int format, std::uint16_t division, const std::vector<TrackBuilder>& tracks) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    TrackBuilder::appendBigEndian(out, static_cast<std::uint32_t>(format), 2);
    TrackBuilder::appendBigEndian(out, static_cast<std::uint32_t>(tracks.size()), 2);
    TrackBuilder::appendBigEndian(out, division, 2);
    for (const auto& track : tracks) {
        const Bytes chunk = track.chunk();
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

} // namespace chimex::test
