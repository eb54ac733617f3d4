// SPDX-License-Identifier: MIT
#include "midi_voice.h"

#include "files/failure.h"

#include <algorithm>
#include <array>
#include <queue>
#include <string>
#include <utility>

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

void checkSelection(const MidiFile& file, const MidiSelection& selection) {
    if (selection.transpose < -pitchOffset || selection.transpose > pitchOffset) {
        throw InputFailure("--transpose " + std::to_string(selection.transpose) +
                           ": at most 127 semitones either way");
    }
    if (selection.track && (*selection.track < 1 || *selection.track > file.trackCount)) {
        throw InputFailure("--track " + std::to_string(*selection.track) +
                           ": the file has tracks 1 to " + std::to_string(file.trackCount));
    }
}

/// The selected note events of all tracks merged in time order, one tick at a time, read from the
/// file as they are needed: memory grows with the tracks, not with the notes.
class MergedNotes {
  public:
    MergedNotes(const MidiFile& file, const MidiSelection& selection)
        : channel_(selection.channel) {
        for (const MidiTrackChunk& chunk : file.tracks) {
            if (!selection.track || chunk.index + 1 == *selection.track) {
                readers_.emplace_back(chunk);
                queue(readers_.size() - 1);
            }
        }
    }

    /// The events of the next tick that has any, in track order with releases first, so that a
    /// note struck again at the moment it ends sounds again. False after the last.
    bool nextTick(std::vector<MidiNoteEvent>& group) {
        group.clear();
        if (waiting_.empty()) {
            return false;
        }
        const std::uint64_t tick = waiting_.top().event.tick;
        while (!waiting_.empty() && waiting_.top().event.tick == tick) {
            const Waiting next = waiting_.top();
            waiting_.pop();
            group.push_back(next.event);
            queue(next.reader);
        }
        std::stable_partition(group.begin(), group.end(), [](const auto& e) { return !e.on; });
        return true;
    }

  private:
    struct Waiting {
        MidiNoteEvent event;
        std::size_t reader = 0;
        /// Earliest tick first, then the earlier track.
        bool operator<(const Waiting& other) const {
            return event.tick != other.event.tick ? event.tick > other.event.tick
                                                  : reader > other.reader;
        }
    };

    void queue(std::size_t reader) {
        for (auto e = readers_[reader].nextNote(); e; e = readers_[reader].nextNote()) {
            if (!channel_ || e->channel + 1 == *channel_) {
                waiting_.push({*e, reader});
                return;
            }
        }
    }

    std::optional<int> channel_;
    std::vector<MidiTrackReader> readers_;
    std::priority_queue<Waiting> waiting_;
};

/// Turns changes of the winning note into notes: a note runs from its start until the winner
/// changes. Each change ends at most one note, which waits in `ended` until it is taken.
class VoiceBuilder {
  public:
    explicit VoiceBuilder(const MidiFile& file) : clock_(file) {}

    void change(std::uint64_t tick, int winner, bool struckAgain) {
        if (winner == current_ && !struckAgain) {
            return;
        }
        const double now = clock_.seconds(tick);
        if (current_ != none) {
            const double gap = first_ ? 0.0 : start_ - lastEnd_;
            ended = ScoreNote{keyForNote(current_), now - start_, gap};
            first_ = false;
            lastEnd_ = now;
        }
        current_ = winner;
        start_ = now;
    }

    static constexpr int none = -1000;
    std::optional<ScoreNote> ended;

  private:
    TempoClock clock_;
    int current_ = none;
    bool first_ = true;
    double start_ = 0;
    double lastEnd_ = 0;
};

} // namespace

struct MidiVoice::State {
    State(const MidiFile& file, const MidiSelection& selection)
        : file(file), transpose(selection.transpose), events(file, selection), voice(file) {}

    /// Plays the next tick's presses and releases; false after the last tick.
    bool playTick() {
        if (!events.nextTick(group)) {
            return false;
        }
        std::array<bool, SoundingCounts{}.size()> struck{};
        for (const MidiNoteEvent& event : group) {
            const auto pitch = static_cast<std::size_t>(event.key + transpose + pitchOffset);
            if (event.on) {
                ++counts[pitch];
                struck[pitch] = true;
            } else if (counts[pitch] > 0) {
                --counts[pitch];
            }
        }
        const int winner = highestSounding(counts);
        const bool struckAgain =
            winner != VoiceBuilder::none && struck[static_cast<std::size_t>(winner + pitchOffset)];
        lastTick = group.front().tick;
        voice.change(lastTick, winner, struckAgain);
        return true;
    }

    const MidiFile& file;
    int transpose;
    MergedNotes events;
    VoiceBuilder voice;
    SoundingCounts counts{};
    std::vector<MidiNoteEvent> group;
    std::uint64_t lastTick = 0;
    bool finished = false;
};

MidiVoice::MidiVoice(const MidiFile& file, const MidiSelection& selection) {
    checkSelection(file, selection);
    state_ = std::make_unique<State>(file, selection);
}

MidiVoice::~MidiVoice() = default;

std::optional<ScoreNote> MidiVoice::next() {
    State& s = *state_;
    while (!s.voice.ended && !s.finished) {
        if (!s.playTick()) {
            s.voice.change(std::max(s.file.endTick, s.lastTick), VoiceBuilder::none, false);
            s.finished = true;
        }
    }
    return std::exchange(s.voice.ended, std::nullopt);
}

std::vector<ScoreNote> reduceToOneVoice(const MidiFile& file, const MidiSelection& selection) {
    MidiVoice voice(file, selection);
    std::vector<ScoreNote> notes;
    for (auto note = voice.next(); note; note = voice.next()) {
        notes.push_back(*note);
    }
    return notes;
}

namespace {

/// Turns presses and releases of each pitch into notes.
class ChordBuilder {
  public:
    ChordBuilder(const MidiFile& file, int transpose) : clock_(file), transpose_(transpose) {}

    void play(const MidiNoteEvent& event) {
        const int pitch = event.key + transpose_;
        const auto i = static_cast<std::size_t>(pitch + pitchOffset);
        const double now = clock_.seconds(event.tick);
        if (counts_[i] > 0 && (event.on || counts_[i] == 1)) {
            notes[opened_[i]].end = now;
        }
        if (event.on) {
            opened_[i] = notes.size();
            notes.push_back({keyForNote(pitch), now, now});
            ++counts_[i];
        } else if (counts_[i] > 0) {
            --counts_[i];
        }
    }

    /// Notes still sounding at the end of the file end there.
    void finish(std::uint64_t tick) {
        const double now = clock_.seconds(tick);
        for (std::size_t i = 0; i < counts_.size(); ++i) {
            if (counts_[i] > 0) {
                notes[opened_[i]].end = now;
            }
        }
    }

    std::vector<ChordNote> notes;

  private:
    TempoClock clock_;
    int transpose_;
    SoundingCounts counts_{};
    std::array<std::size_t, SoundingCounts{}.size()> opened_{};
};

constexpr int drumChannel = 10;

} // namespace

std::vector<ChordNote> readChordNotes(const MidiFile& file, const MidiSelection& selection) {
    checkSelection(file, selection);
    MergedNotes events(file, selection);
    ChordBuilder chords(file, selection.transpose);
    const bool drums = selection.channel == drumChannel;
    std::vector<MidiNoteEvent> group;
    std::uint64_t lastTick = 0;
    while (events.nextTick(group)) {
        for (const MidiNoteEvent& event : group) {
            if (drums || event.channel + 1 != drumChannel) {
                chords.play(event);
            }
        }
        lastTick = group.front().tick;
    }
    chords.finish(std::max(file.endTick, lastTick));
    return std::move(chords.notes); // pressed in time order, so in order of start
}

} // namespace chimex
