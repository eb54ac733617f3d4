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
    std::array<double, 3> shift{};
    double length = 0;
    for (std::size_t a = 0; a < 3; ++a) {
        const double distance = move.target[a] - from[a];
        if (move.velocity[a] != 0 && distance != 0) {
            written.targets.push_back({static_cast<Axis>(a), move.target[a]});
            shift[a] = distance;
            length += distance * distance;
        }
    }
    if (written.targets.empty()) {
        return std::nullopt;
    }
    length = std::sqrt(length);
    written.feed = feedAlong(shift, move.velocity);
    for (std::size_t a = 0; a < 3; ++a) {
        written.axisSpeed[a] = pathFeedPerMinute(written.feed) / 60 * std::fabs(shift[a]) / length;
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
    const double scale = std::pow(10.0, chordDecimals);
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
    writer.writeStart(headerOf(plan), chordDecimals);
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
    // Timed as written: positions with the chords' decimals, feeds rounded down along the path.
    Controller written = controller;
    written.positionDecimals = chordDecimals;
    written.feedAsWritten = [](double speed) {
        return pathFeedPerMinute(speed) / 60;
    };
    const std::vector<TimedSegment> timed = timeSegments(segments, written, travel);
    TimedChords result;
    result.plan.notesPlaced = plan.notesPlaced;
    result.plan.notesLowered = plan.notesLowered;
    result.plan.noRoom = plan.noRoom;
    const auto dwell = [&](double seconds) {
        result.plan.moves.push_back({{}, {}, 0, seconds, true});
    };
    long long moves = 0;
    for (std::size_t i = 0; i < timed.size(); ++i) {
        if (timed[i].noRoom) {
            result.plan.noRoom = true;
            result.plan.notesPlaced = i > 0 ? plan.moves[i - 1].notesPlaced : 0;
            break;
        }
        if (timed[i].dwellBefore > 0) {
            dwell(timed[i].dwellBefore);
        }
        if (!plan.moves[i].rest) { // a rest's time is in the dwell before the next move
            tally(result.report, ++moves, timed[i].silence, timed[i].reachesFeed,
                  timed[i].startsOff);
        }
        if (!plan.moves[i].rest && timed[i].silence == Silence::None) {
            result.plan.moves.push_back({timed[i].target, plan.moves[i].velocity,
                                         plan.moves[i].start, plan.moves[i].duration, false});
        }
        if (timed[i].dwellAfter > 0) {
            dwell(timed[i].dwellAfter);
        }
    }
    return result;
}

} // namespace chimex
