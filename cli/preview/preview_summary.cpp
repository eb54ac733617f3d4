// SPDX-License-Identifier: MIT
#include "preview_summary.h"

#include <algorithm>

namespace chimex {
namespace {

void addMove(PreviewSummary& summary, const TimedEvent& timed, const MachineLimits& limits,
             const PitchBands& bands) {
    const MoveEvent& move = timed.event;
    const auto axis = static_cast<std::size_t>(move.axis);
    if (summary.moves[0] + summary.moves[1] + summary.moves[2] == 0) {
        summary.start = summary.end;
    }
    ++summary.moves[axis];
    summary.notes.add(move);
    summary.end[axis] = move.target;
    AxisExtent& extent = summary.extents[axis];
    extent.low = std::min(extent.low, move.target);
    extent.high = std::max(extent.high, move.target);
    if (move.target < 0 || move.target > axisLimit(limits, move.axis)) {
        summary.outsideTravel.add(move.line);
    }
    summary.bandsUsed[static_cast<std::size_t>(bands.bandOf(move.speed))] = true;
}

} // namespace

PreviewSummary summariseMoves(std::istream& part, const std::string& name,
                              const MachineLimits& limits, const PitchBands& bands,
                              std::ostream& err) {
    PreviewSummary summary;
    TimedMoveReader reader(part, name);
    while (const auto timed = reader.next()) {
        if (timed->event.kind == MoveEventKind::Pause) {
            ++summary.pauses;
            summary.bandsUsed[pauseBand] = true;
        } else {
            addMove(summary, *timed, limits, bands);
        }
    }
    summary.seconds = reader.endSeconds();
    reader.printWarnings(err);
    return summary;
}

} // namespace chimex
