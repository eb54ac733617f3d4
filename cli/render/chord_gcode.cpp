// SPDX-License-Identifier: MIT
#include "chord_gcode.h"

#include "machinefile/gcode_writer.h"
#include "motion/timed_segments.h"
#include "partfile/line_texts.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace chimex {
namespace {

/// A segment's G1 as written: the moving axes' targets and the feed a second.
struct WrittenMove {
    std::vector<AxisTarget> targets;
    double feed = 0;
    std::array<double, 3> axisSpeed{}; ///< what each axis reaches at the rounded-down feed
};

/// The move from `from`, or nothing when its axes round to no move at all.
std::optional<WrittenMove> writtenMove(const std::array<double, 3>& from, const ChordMove& move) {
    WrittenMove written;
    double length = 0;
    for (std::size_t a = 0; a < 3; ++a) {
        const double distance = move.target[a] - from[a];
        if (move.velocity[a] != 0 && distance != 0) {
            written.targets.push_back({static_cast<Axis>(a), move.target[a]});
            length += distance * distance;
        }
    }
    if (written.targets.empty()) {
        return std::nullopt;
    }
    length = std::sqrt(length);
    // The feed at which the axis furthest ahead of its note runs exactly at its note's speed.
    double feed = HUGE_VAL;
    for (const AxisTarget& t : written.targets) {
        const auto a = axisIndex(t.axis);
        feed = std::min(feed, std::fabs(move.velocity[a]) * length / std::fabs(t.target - from[a]));
    }
    written.feed = feed;
    for (const AxisTarget& t : written.targets) {
        const auto a = axisIndex(t.axis);
        written.axisSpeed[a] =
            pathFeedPerMinute(feed) / 60 * std::fabs(t.target - from[a]) / length;
    }
    return written;
}

/// The extents and fastest speeds the moves reach, in HeaderItem order; speeds rounded up to the
/// header's decimals, so that the header never states less than a move reaches.
std::array<double, headerItemCount> headerOf(const ChordPlan& plan) {
    std::array<double, headerItemCount> header{};
    std::array<double, 3> from{};
    for (const ChordMove& move : plan.moves) {
        const std::optional<WrittenMove> written =
            move.rest ? std::nullopt : writtenMove(from, move);
        for (std::size_t a = 0; written && a < 3; ++a) {
            header[2 * a] = std::max(header[2 * a], move.target[a]);
            header[2 * a + 1] = std::min(header[2 * a + 1], move.target[a]);
            double& fastest = header[a == 2 ? 7 : 6];
            fastest = std::max(fastest, written->axisSpeed[a]);
        }
        from = move.rest ? from : move.target;
    }
    const double scale = std::pow(10.0, gcodeDecimals);
    for (const std::size_t i : {6, 7}) {
        header[i] = std::ceil(header[i] * 60 * scale) / scale / 60;
    }
    return header;
}

void writeDwell(GcodeWriter& writer, double seconds, const Controller* timed,
                const std::optional<RestPlace>& place) {
    const double ms = std::round(seconds * 1000);
    if (ms > 0 && timed) {
        writer.writeTimedRest(ms / 1000, *timed, place);
    } else if (ms > 0) {
        writer.writeDwell(ms / 1000);
    }
}

} // namespace

long long writeChordGcode(std::ostream& out, const GcodeFormat& format, const ChordPlan& plan,
                          const Controller* timed) {
    GcodeWriter writer(out, format);
    writer.writeStart(headerOf(plan));
    writer.writeDwell(startPauseSeconds);
    std::array<double, 3> from{};
    std::optional<RestPlace> place;
    long long written = 0;
    for (const ChordMove& move : plan.moves) {
        const std::optional<WrittenMove> g1 = move.rest ? std::nullopt : writtenMove(from, move);
        if (g1) {
            writer.writeMove(g1->targets, g1->feed, chordDecimals);
            const auto a = axisIndex(g1->targets.front().axis);
            place = RestPlace{g1->targets.front().axis, from[a], move.target[a]};
            from = move.target;
            ++written;
        } else { // a rest, or a segment too short to move
            writeDwell(writer, move.duration, timed, place);
        }
    }
    writer.writeEnd();
    return written;
}

TimedChords timeChords(const ChordPlan& plan, const Controller& controller,
                       const std::array<double, 3>& travel) {
    std::vector<TimingSegment> segments;
    for (const ChordMove& move : plan.moves) {
        segments.push_back(
            {move.rest ? std::array<double, 3>{} : move.velocity, move.start, move.duration});
    }
    const std::vector<TimedSegment> timed = timeSegments(segments, controller, travel);
    TimedChords result;
    result.plan.notesPlaced = plan.notesPlaced;
    result.plan.notesLowered = plan.notesLowered;
    result.plan.noRoom = plan.noRoom;
    long long moves = 0;
    for (std::size_t i = 0; i < timed.size(); ++i) {
        if (plan.moves[i].rest) {
            continue; // its time is in the dwell before the next move
        }
        if (timed[i].dwellBefore > 0) {
            result.plan.moves.push_back({timed[i].target, {}, 0, timed[i].dwellBefore, true});
        }
        result.plan.moves.push_back({timed[i].target, plan.moves[i].velocity, plan.moves[i].start,
                                     plan.moves[i].duration, false});
        ++moves;
        if (!timed[i].reachesFeed && result.tooShort++ == 0) {
            result.firstShort = moves;
        }
    }
    return result;
}

} // namespace chimex
