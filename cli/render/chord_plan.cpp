// SPDX-License-Identifier: MIT
#include "chord_plan.h"

#include "core/key_notes.h"
#include "files/failure.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace chimex {
namespace {

constexpr std::size_t none = static_cast<std::size_t>(-1);
constexpr std::size_t zAxis = 2;

void checkNote(const ChordNote& note, std::size_t index) {
    const std::string where = "note " + std::to_string(index + 1) + ": ";
    if (note.key < 0 || note.key >= keyCount) {
        throw InputFailure(where + "key " + std::to_string(note.key) + " is not one of 0 to 36");
    }
    if (!(std::isfinite(note.start) && std::isfinite(note.end) && note.start >= 0 &&
          note.end < 100 * longestScoreTime)) {
        throw InputFailure(where + "its times must be at least 0 and less than 100 days");
    }
}

double rounded(double value) {
    const double scale = std::pow(10.0, chordDecimals);
    return std::round(value * scale) / scale;
}

/// The axes as the plan goes: where each is, which note it plays, which way and how fast.
class AxisPlanner {
  public:
    AxisPlanner(const std::vector<ChordNote>& notes, const TunedSpeeds& speeds,
                const MachineLimits& limits)
        : notes_(notes), speeds_(speeds), travel_{limits.MaxX, limits.MaxY, limits.MaxZ},
          maxZSpeed_(limits.MaxZSpeed) {}

    /// The segment's move; nothing when a note finds no axis or no room.
    std::optional<ChordMove> play(const ChordSegment& segment, ChordPlan& plan) {
        ChordMove move{position_, {}, segment.start, segment.duration, segment.notes.empty()};
        for (std::size_t a = 0; a < 3; ++a) {
            if (std::find(segment.notes.begin(), segment.notes.end(), note_[a]) ==
                segment.notes.end()) {
                note_[a] = none;
            }
        }
        if (!assignNewNotes(segment.notes, plan)) {
            return std::nullopt;
        }
        for (std::size_t a = 0; a < 3; ++a) {
            if (note_[a] != none && !moveAxis(a, segment.duration, move)) {
                return std::nullopt;
            }
        }
        position_ = move.target;
        return move;
    }

  private:
    bool usable(std::size_t axis) const { return note_[axis] == none && travel_[axis] > 0; }

    bool playing(std::size_t note) const {
        return std::find(note_.begin(), note_.end(), note) != note_.end();
    }

    /// New notes take X and Y first; Z only when they run out.
    bool assignNewNotes(const std::vector<std::size_t>& segmentNotes, ChordPlan& plan) {
        std::vector<std::size_t> fresh;
        std::copy_if(segmentNotes.begin(), segmentNotes.end(), std::back_inserter(fresh),
                     [&](std::size_t n) { return !playing(n); });
        const auto freeXY = static_cast<std::size_t>(usable(0)) + (usable(1) ? 1 : 0);
        if (fresh.size() > freeXY && usable(zAxis)) {
            const std::size_t pick = zChoice(fresh);
            if (!startNote(fresh[pick], zAxis, plan)) {
                return false;
            }
            fresh.erase(fresh.begin() + static_cast<std::ptrdiff_t>(pick));
        }
        for (const std::size_t n : fresh) {
            const std::size_t axis = usable(0) ? 0 : 1;
            if (!usable(axis)) {
                return false;
            }
            startNote(n, axis, plan);
        }
        return true;
    }

    /// The first new note that fits Z's fastest speed, else the lowest.
    std::size_t zChoice(const std::vector<std::size_t>& fresh) const {
        std::size_t lowest = 0;
        for (std::size_t i = 0; i < fresh.size(); ++i) {
            if (zSpeed(fresh[i]) <= maxZSpeed_) {
                return i;
            }
            lowest = notes_[fresh[i]].key < notes_[fresh[lowest]].key ? i : lowest;
        }
        return lowest;
    }

    float zSpeed(std::size_t note) const {
        return speeds_.speed[zAxis][static_cast<std::size_t>(notes_[note].key)];
    }

    bool startNote(std::size_t note, std::size_t axis, ChordPlan& plan) {
        const auto key = static_cast<std::size_t>(notes_[note].key);
        float speed = speeds_.speed[axis][key];
        bool lowered = speeds_.lowered[axis][key];
        if (axis == zAxis && speed > maxZSpeed_) {
            if (!(maxZSpeed_ > 0)) {
                return false;
            }
            while (speed > maxZSpeed_) {
                speed /= 2;
            }
            lowered = true;
        }
        note_[axis] = note;
        speed_[axis] = speed;
        // A new note heads for the far end of its axis.
        direction_[axis] = position_[axis] < travel_[axis] / 2 ? 1 : -1;
        ++plan.notesPlaced;
        plan.notesLowered += lowered ? 1 : 0;
        return true;
    }

    /// Keeps the axis's direction while it has room, else turns round; false when neither has.
    bool moveAxis(std::size_t axis, double duration, ChordMove& move) {
        const double distance = speed_[axis] * duration;
        for (const int direction : {direction_[axis], -direction_[axis]}) {
            const double target = rounded(position_[axis] + direction * distance);
            if (target > 0 && target < travel_[axis]) {
                direction_[axis] = direction;
                move.target[axis] = target;
                move.velocity[axis] = direction * speed_[axis];
                return true;
            }
        }
        return false;
    }

    const std::vector<ChordNote>& notes_;
    const TunedSpeeds& speeds_;
    std::array<double, 3> travel_;
    float maxZSpeed_;
    std::array<double, 3> position_{};
    std::array<std::size_t, 3> note_{none, none, none};
    std::array<double, 3> speed_{};
    std::array<int, 3> direction_{1, 1, 1};
};

} // namespace

ChordPlan planChords(const std::vector<ChordNote>& notes, const ChordScore& score,
                     const TunedSpeeds& speeds, const MachineLimits& limits) {
    for (std::size_t i = 0; i < notes.size(); ++i) {
        checkNote(notes[i], i);
    }
    ChordPlan plan;
    AxisPlanner axes(notes, speeds, limits);
    const double origin = score.segments.empty() ? 0.0 : score.segments.front().start;
    for (const ChordSegment& segment : score.segments) {
        const long long placed = plan.notesPlaced;
        const long long lowered = plan.notesLowered;
        std::optional<ChordMove> move = axes.play(segment, plan);
        if (!move) { // the segment's new notes were not placed after all
            plan.notesPlaced = placed;
            plan.notesLowered = lowered;
            plan.noRoom = true;
            break;
        }
        move->start -= origin;
        move->notesPlaced = plan.notesPlaced;
        plan.moves.push_back(*move);
    }
    return plan;
}

} // namespace chimex
