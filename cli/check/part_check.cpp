// SPDX-License-Identifier: MIT
#include "part_check.h"

#include "machinefile/move_file_reader.h"
#include "machinefile/timed_move_reader.h"
#include "partfile/number_forms.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace chimex {
namespace {

/// Replays events into a report, adding the violations of limits and speeds.
class Replay {
  public:
    Replay(const MachineLimits& limits, CheckReport& report, const ViolationHandler& onViolation,
           const std::optional<AxisAcceleration>& accel, const std::optional<Controller>& blending)
        : limits_(limits), report_(report), onViolation_(onViolation), accel_(accel) {
        if (blending) {
            planner_.emplace(*blending);
        }
    }

    void add(const MoveEvent& event) {
        if (event.line != timedLine_) {
            report_.runningSeconds += lineSeconds_;
            lineSeconds_ = 0;
            timedLine_ = event.line;
            planLine();
        }
        if (event.kind == MoveEventKind::Pause) {
            addPause(event);
        } else {
            addMove(event);
        }
    }
    void finish() {
        report_.runningSeconds += lineSeconds_;
        if (planner_) {
            planLine();
            planner_->stop();
            while (planner_->next()) {
            }
            report_.runningSeconds = planner_->clock();
        }
    }

  private:
    void violation(long long line, std::string message) {
        ++report_.violationCount;
        onViolation_({line, std::move(message)});
    }

    void addPause(const MoveEvent& pause) {
        ++report_.pauses;
        if (pause.seconds < 0) {
            violation(pause.line,
                      "a pause of negative length (" + shortestText(pause.seconds) + " seconds)");
            return;
        }
        lineSeconds_ = std::max(lineSeconds_, pause.seconds);
        if (planner_) {
            planner_->dwell(pause.seconds);
        }
    }

    /// Gives the planner the move of the line read: the axes' shifts at their speeds.
    void planLine() {
        if (!planner_) {
            return;
        }
        const bool moves = lineShift_ != Direction{};
        if (!lineKnown_ ||
            (moves && !planner_->move(lineShift_,
                                      std::hypot(lineSpeed_[0], lineSpeed_[1], lineSpeed_[2])))) {
            planner_->stop();
        }
        lineShift_ = {};
        lineSpeed_ = {};
        lineKnown_ = true;
        while (planner_->next()) {
        }
    }

    void addMove(const MoveEvent& move) {
        const auto axis = static_cast<std::size_t>(move.axis);
        const float limit = axisLimit(limits_, move.axis);
        report_.notes.add(move);
        AxisExtent& extent = report_.extents[axis];
        extent.low = std::min(extent.low, move.target);
        extent.high = std::max(extent.high, move.target);
        const bool startPoint = !move.singleAxis && move.target == 0;
        // A jog of length 0 leaves the tool where it stands, as a note held for no time does.
        const bool stays = move.target == move.from;
        if (!stays && ((move.target <= 0 && !startPoint) || move.target >= limit)) {
            violation(move.line, std::string(axisLetter(move.axis)) + " moves to " +
                                     shortestText(move.target) + ", outside 0 to " +
                                     shortestText(limit));
        }
        checkSpeed(move, std::fabs(move.target - move.from));
    }

    void checkSpeed(const MoveEvent& move, double distance) {
        const bool z = move.axis == Axis::Z;
        if (!move.speed) {
            lineKnown_ = lineKnown_ && !(distance > 0);
            if (distance > 0) {
                violation(move.line, std::string(axisLetter(move.axis)) +
                                         " moves at the machine's own jog speed, which cannot be "
                                         "checked (no JS line sets it before, or a G0 move)");
            }
            return;
        }
        // An axis's share of a multi-axis feed carries the division's last-digit noise: shown
        // at the precision it is checked at.
        const double speed =
            move.alongPath ? std::stod(shortestText(static_cast<float>(*move.speed))) : *move.speed;
        double& fastest = z ? report_.fastestZSpeed : report_.fastestXYSpeed;
        fastest = std::max(fastest, speed);
        const float limit = z ? limits_.MaxZSpeed : limits_.MaxXYSpeed;
        if (static_cast<float>(speed) > limit) {
            violation(move.line, std::string(axisLetter(move.axis)) + " jogs at " +
                                     shortestText(speed) + ", faster than the " +
                                     (z ? "Z" : "X and Y") + " limit " + shortestText(limit));
        }
        if (distance > 0 && speed <= 0) {
            lineKnown_ = false;
            violation(move.line, std::string(axisLetter(move.axis)) + " jogs at speed " +
                                     shortestText(speed) + " and would never arrive");
        } else if (distance > 0 && planner_) {
            lineShift_[static_cast<std::size_t>(move.axis)] = move.target - move.from;
            lineSpeed_[static_cast<std::size_t>(move.axis)] = *move.speed;
        } else if (distance > 0) {
            lineSeconds_ = std::max(lineSeconds_, moveSeconds(distance, speed, move.axis, accel_));
        }
    }

    const MachineLimits& limits_;
    CheckReport& report_;
    const ViolationHandler& onViolation_;
    std::optional<AxisAcceleration> accel_;
    std::optional<MotionPlanner> planner_;
    Direction lineShift_{}; ///< the line's move, for the planner
    Direction lineSpeed_{};
    bool lineKnown_ = true; ///< every axis of the line's move has a speed that gets it there
    long long timedLine_ = 0;
    double lineSeconds_ = 0;
};

struct HeaderCheck {
    HeaderItem item;
    const char* name;
};

constexpr HeaderCheck headerChecks[] = {
    {HeaderItem::MaxX, "maximum X-axis value"},
    {HeaderItem::MinX, "minimum X-axis value"},
    {HeaderItem::MaxY, "maximum Y-axis value"},
    {HeaderItem::MinY, "minimum Y-axis value"},
    {HeaderItem::MaxZ, "maximum Z-axis value"},
    {HeaderItem::MinZ, "minimum Z-axis value"},
    {HeaderItem::FastestXY, "fastest X and Y jog speed"},
    {HeaderItem::FastestZ, "fastest Z jog speed"},
};

/// Jog lines carry three decimals while the header keeps seven digits, so positions agree when
/// their three-decimal forms do; speeds are written alike in both places and must be equal.
/// A G-code move of several axes shares one feed, rounded down, so its axes reach a hair less than
/// the speeds stated; less by a millionth or so is the same speed.
bool agrees(HeaderItem item, double stated, double actual) {
    if (item == HeaderItem::FastestXY || item == HeaderItem::FastestZ) {
        return static_cast<float>(stated) == static_cast<float>(actual) ||
               (actual < stated && actual >= stated * (1 - 1e-5));
    }
    return threeDecimalForm(static_cast<float>(stated)) ==
           threeDecimalForm(static_cast<float>(actual));
}

void compareHeader(const std::array<HeaderEntry, headerItemCount>& header,
                   const CheckReport& report, const std::function<void(MoveIssue)>& violation) {
    for (const HeaderCheck& check : headerChecks) {
        const HeaderEntry& entry = header[static_cast<std::size_t>(check.item)];
        const double actual = reachedValue(report, check.item);
        if (!entry.value) {
            violation({0, std::string("the header does not state the ") + check.name});
        } else if (!agrees(check.item, *entry.value, actual)) {
            violation({entry.line, std::string("the header states ") + shortestText(*entry.value) +
                                       " as the " + check.name + ", but the file reaches " +
                                       shortestText(actual)});
        }
    }
}

} // namespace

CheckReport checkMoveFile(std::istream& in, const MachineLimits& limits,
                          const ViolationHandler& onViolation,
                          const std::optional<AxisAcceleration>& accel,
                          const std::optional<Controller>& blending) {
    CheckReport report;
    const auto violation = [&](MoveIssue issue) {
        ++report.violationCount;
        onViolation(issue);
    };
    MoveFileReader reader(in, violation);
    Replay replay(limits, report, onViolation, accel, blending);
    while (const auto event = reader.next()) {
        replay.add(*event);
    }
    replay.finish();
    report.lines = reader.linesRead();
    report.gcode = reader.writtenFor();
    if (const auto missing = reader.missingEnd()) {
        violation({0, *missing});
    }
    compareHeader(reader.header(), report, violation);
    return report;
}

CheckReport checkMoveFile(std::istream& in, const MachineLimits& limits) {
    std::vector<MoveIssue> violations;
    CheckReport report = checkMoveFile(
        in, limits, [&violations](const MoveIssue& issue) { violations.push_back(issue); });
    std::stable_sort(violations.begin(), violations.end(),
                     [](const MoveIssue& a, const MoveIssue& b) { return a.line < b.line; });
    report.violations = std::move(violations);
    return report;
}

double reachedValue(const CheckReport& report, HeaderItem item) {
    const auto index = static_cast<std::size_t>(item);
    if (item == HeaderItem::FastestXY) {
        return report.fastestXYSpeed;
    }
    if (item == HeaderItem::FastestZ) {
        return report.fastestZSpeed;
    }
    const AxisExtent& extent = report.extents[index / 2];
    return index % 2 == 0 ? extent.high : extent.low;
}

} // namespace chimex
