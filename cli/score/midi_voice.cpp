// SPDX-License-Identifier: MIT
#include "midi_voice.h"

#include "platform/failure.h"

#include <algorithm>
#include <array>
#include <string>

namespace chimex {
namespace {

/// Ticks to seconds through the tempo map; ticks must be asked for in rising order.
class TempoClock {
  public:
    explicit TempoClock(const MidiFile& file) : file_(file), tempos_(file.tempos) {
        std::stable_sort(tempos_.begin(), tempos_.end(),
                         [](const auto& a, const auto& b) { return a.tick < b.tick; });
    }

    double seconds(std::uint64_t tick) {
        if (file_.ticksPerSecond > 0) {
            return static_cast<double>(tick) / file_.ticksPerSecond;
        }
        while (next_ < tempos_.size() && tempos_[next_].tick <= tick) {
            advanceTo(tempos_[next_].tick);
            microsecondsPerQuarter_ = tempos_[next_].microsecondsPerQuarter;
            ++next_;
        }
        advanceTo(tick);
        return seconds_;
    }

  private:
    void advanceTo(std::uint64_t tick) {
        seconds_ += static_cast<double>(tick - tick_) * microsecondsPerQuarter_ * 1e-6 /
                    file_.ticksPerQuarter;
        tick_ = tick;
    }

    const MidiFile& file_;
    std::vector<MidiTempoEvent> tempos_;
    std::size_t next_ = 0;
    std::uint64_t tick_ = 0;
    double seconds_ = 0;
    double microsecondsPerQuarter_ = 500000;
};

/// Pitches after transposition lie in -127..254; counts of sounding notes per pitch.
constexpr int pitchOffset = 127;
using SoundingCounts = std::array<int, 128 + 2 * pitchOffset>;

int highestSounding(const SoundingCounts& counts) {
    for (int i = static_cast<int>(counts.size()) - 1; i >= 0; --i) {
        if (counts[static_cast<std::size_t>(i)] > 0) {
            return i - pitchOffset;
        }
    }
    return -1000;
}

std::vector<MidiNoteEvent> selectedEvents(const MidiFile& file, const MidiSelection& selection) {
    if (selection.transpose < -pitchOffset || selection.transpose > pitchOffset) {
        throw InputFailure("--transpose " + std::to_string(selection.transpose) +
                           ": at most 127 semitones either way");
    }
    if (selection.track && (*selection.track < 1 || *selection.track > file.trackCount)) {
        throw InputFailure("--track " + std::to_string(*selection.track) +
                           ": the file has tracks 1 to " + std::to_string(file.trackCount));
    }
    std::vector<MidiNoteEvent> events;
    for (const auto& e : file.notes) {
        if ((!selection.track || e.track + 1 == *selection.track) &&
            (!selection.channel || e.channel + 1 == *selection.channel)) {
            events.push_back(e);
        }
    }
    // At one tick releases go first, so a note struck again at the moment it ends sounds again.
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) {
        return a.tick != b.tick ? a.tick < b.tick : !a.on && b.on;
    });
    return events;
}

/// Collects the notes of the voice: a note runs from its start until the winner changes.
class VoiceBuilder {
  public:
    explicit VoiceBuilder(const MidiFile& file) : clock_(file) {}

    void change(std::uint64_t tick, int winner, bool struckAgain) {
        if (winner == current_ && !struckAgain) {
            return;
        }
        const double now = clock_.seconds(tick);
        if (current_ != none) {
            const double gap = notes_.empty() ? 0.0 : start_ - lastEnd_;
            notes_.push_back({keyForNote(current_), now - start_, gap});
            lastEnd_ = now;
        }
        current_ = winner;
        start_ = now;
    }
    std::vector<ScoreNote> finish(std::uint64_t endTick) {
        change(endTick, none, false);
        return std::move(notes_);
    }

    static constexpr int none = -1000;

  private:
    TempoClock clock_;
    std::vector<ScoreNote> notes_;
    int current_ = none;
    double start_ = 0;
    double lastEnd_ = 0;
};

} // namespace

int keyForNote(int note) {
    while (note < lowestKeyNote) {
        note += 12;
    }
    while (note > highestKeyNote) {
        note -= 12;
    }
    return note - lowestKeyNote;
}

std::vector<ScoreNote> reduceToOneVoice(const MidiFile& file, const MidiSelection& selection) {
    const std::vector<MidiNoteEvent> events = selectedEvents(file, selection);
    SoundingCounts counts{};
    VoiceBuilder voice(file);
    std::size_t i = 0;
    while (i < events.size()) {
        const std::uint64_t tick = events[i].tick;
        std::array<bool, counts.size()> struck{};
        for (; i < events.size() && events[i].tick == tick; ++i) {
            const auto pitch =
                static_cast<std::size_t>(events[i].key + selection.transpose + pitchOffset);
            if (events[i].on) {
                ++counts[pitch];
                struck[pitch] = true;
            } else if (counts[pitch] > 0) {
                --counts[pitch];
            }
        }
        const int winner = highestSounding(counts);
        const bool struckAgain =
            winner != VoiceBuilder::none && struck[static_cast<std::size_t>(winner + pitchOffset)];
        voice.change(tick, winner, struckAgain);
    }
    return voice.finish(std::max(file.endTick, events.empty() ? 0 : events.back().tick));
}

std::optional<ScoreNote> NoteListSource::next() {
    if (next_ == notes_.size()) {
        return std::nullopt;
    }
    return notes_[next_++];
}

} // namespace chimex
