// SPDX-License-Identifier: MIT
#include "grbl_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace chimex {

namespace {

constexpr double clockHz = 16e6;
constexpr double segmentSeconds = 0.01;
constexpr double leastSegmentSteps = 1.25;
constexpr long mostSteps = 1L << 28;   ///< GRBL counts a move's steps times 8 in 32 bits
constexpr double mostStepCycles = 1e9; ///< beyond any step period the timer can hold
constexpr std::int64_t mostTickCycles = 0xFFFF;
constexpr int smoothingLevels = 3;

enum class Ramp { accelerate, cruise, decelerate };

/// The velocity profile in units before the move's end: where accelerating stops and
/// decelerating starts, and the top speed.
struct Profile {
    Ramp ramp = Ramp::accelerate;
    double accelerateUntil = 0;
    double decelerateAfter = 0;
    double top = 0;
};

Profile profileOf(double length, const MoveSpeeds& s) {
    const double half = 0.5 / s.accel;
    const double v0 = s.entry * s.entry, v1 = s.exit * s.exit, top = s.feed * s.feed;
    const double meet = 0.5 * (length + half * (v0 - v1));
    if (!(meet > 0)) {
        return {Ramp::accelerate, 0, 0, s.exit};
    }
    if (!(meet < length)) {
        return {Ramp::decelerate, length, 0, s.entry};
    }
    const double decelerateAfter = half * (top - v1);
    if (decelerateAfter < meet) {
        if (s.entry == s.feed) {
            return {Ramp::cruise, length, decelerateAfter, s.feed};
        }
        return {Ramp::accelerate, length - half * (top - v0), decelerateAfter, s.feed};
    }
    return {Ramp::accelerate, meet, meet, std::sqrt(2 * s.accel * meet + v1)};
}

/// The segment generator's walk along the profile: the speed reached and the units left.
struct Walk {
    Profile profile;
    double speed = 0;
    double left = 0;
};

/// One pass over at most `seconds` of the ramp the walk is on, from a segment that started
/// `segmentStart` units before the end; returns the seconds it took (less at a ramp's end).
double walkRamp(Walk& w, double seconds, double segmentStart, const MoveSpeeds& s) {
    Profile& p = w.profile;
    if (p.ramp == Ramp::accelerate) {
        const double gain = s.accel * seconds;
        w.left -= seconds * (w.speed + 0.5 * gain);
        if (w.left >= p.accelerateUntil) {
            w.speed += gain;
            return seconds;
        }
        w.left = p.accelerateUntil;
        seconds = 2 * (segmentStart - w.left) / (w.speed + p.top);
        p.ramp = w.left == p.decelerateAfter ? Ramp::decelerate : Ramp::cruise;
        w.speed = p.top;
        return seconds;
    }
    if (p.ramp == Ramp::cruise) {
        const double next = w.left - p.top * seconds;
        if (next >= p.decelerateAfter) {
            w.left = next;
            return seconds;
        }
        seconds = (w.left - p.decelerateAfter) / p.top;
        w.left = p.decelerateAfter;
        p.ramp = Ramp::decelerate;
        return seconds;
    }
    const double loss = s.accel * seconds;
    const double next = w.left - seconds * (w.speed - 0.5 * loss);
    if (w.speed > loss && next > 0) {
        w.left = next;
        w.speed -= loss;
        return seconds;
    }
    seconds = 2 * w.left / (w.speed + s.exit);
    w.left = 0;
    w.speed = s.exit;
    return seconds;
}

/// A segment as the stepper interrupt runs it: interrupts, each `cycles` + 1 clock cycles, and
/// the step counter's gain per interrupt in eighths of a step's share.
struct Segment {
    std::int64_t ticks = 0;
    std::int64_t cycles = 0;
    int level = 0;
};

Segment segmentOf(double steps, double secondsPerStep) {
    auto cycles =
        static_cast<std::int64_t>(std::min(std::ceil(clockHz * secondsPerStep), mostStepCycles));
    int level = 0;
    while (level < smoothingLevels && cycles >= (2000LL << level)) {
        ++level;
    }
    return {static_cast<std::int64_t>(steps) << level, std::min(cycles >> level, mostTickCycles),
            level};
}

std::vector<Segment> segmentsOf(const GrblMove& m) {
    const MoveSpeeds& s = m.speeds;
    const double perUnit = static_cast<double>(m.steps) / m.length;
    Walk w{profileOf(m.length, s), s.entry, m.length};
    double stepsLeft = static_cast<double>(m.steps);
    double carried = 0; // the time of the part step the last segment left
    std::vector<Segment> segments;
    do {
        const double start = w.left;
        const double least = std::max(0.0, start - leastSegmentSteps / perUnit);
        double most = segmentSeconds, used = 0, slice = most;
        do {
            used += walkRamp(w, slice, start, s);
            if (used >= most && !(w.left > least)) {
                break;
            }
            most += used >= most ? segmentSeconds : 0;
            slice = most - used;
        } while (w.left > 0);
        const double after = perUnit * w.left;
        const double perStep = (used + carried) / (std::ceil(stepsLeft) - after);
        segments.push_back(segmentOf(std::ceil(stepsLeft) - std::ceil(after), perStep));
        stepsLeft = std::ceil(after);
        carried = (stepsLeft - after) * perStep;
    } while (w.left > 0);
    return segments;
}

bool runnable(const GrblMove& m) {
    const MoveSpeeds& s = m.speeds;
    return m.steps > 0 && m.steps <= mostSteps && m.length > 0 && std::isfinite(m.length) &&
           s.feed > 0 && std::isfinite(s.feed) && s.accel > 0 && std::isfinite(s.accel) &&
           s.entry >= 0 && s.entry <= s.feed && s.exit >= 0 && s.exit <= s.feed;
}

/// Walks the segments' interrupts with the step counter of the axis that steps most, calling
/// `pulse(first, last, count)` for each segment that pulses: its first and last pulse times and
/// how many it has. Returns the end of the last interrupt.
template <typename Pulse>
double walkSteps(const GrblMove& m, const std::vector<Segment>& segments, Pulse pulse) {
    const std::int64_t full = static_cast<std::int64_t>(m.steps) << smoothingLevels;
    std::int64_t counter = full / 2;
    double clock = 0;
    for (const Segment& seg : segments) {
        const double period = static_cast<double>(seg.cycles + 1) / clockHz;
        const std::int64_t gain = full >> seg.level;
        const std::int64_t count = (counter + seg.ticks * gain - 1) / full;
        // The j-th step of the segment is counted at interrupt (j full - counter) / gain + 1
        // and pulsed at the next.
        const auto at = [&](std::int64_t j) {
            return clock + static_cast<double>((j * full - counter) / gain + 1) * period;
        };
        if (count > 0) {
            pulse(at, count);
        }
        counter += seg.ticks * gain - count * full;
        clock += static_cast<double>(seg.ticks) * period;
    }
    return clock;
}

} // namespace

GrblMoveTiming grblMoveTiming(const GrblMove& move) {
    GrblMoveTiming t;
    if (!runnable(move)) {
        return t;
    }
    const std::vector<Segment> segments = segmentsOf(move);
    bool first = true;
    t.end = walkSteps(move, segments, [&](const auto& at, std::int64_t count) {
        t.firstStep = first ? at(1) : t.firstStep;
        t.lastStep = at(count);
        first = false;
    });
    t.lastTick = static_cast<double>(segments.back().cycles + 1) / clockHz;
    return t;
}

std::vector<double> grblStepTimes(const GrblMove& move) {
    std::vector<double> times;
    if (!runnable(move)) {
        return times;
    }
    walkSteps(move, segmentsOf(move), [&](const auto& at, std::int64_t count) {
        for (std::int64_t j = 1; j <= count; ++j) {
            times.push_back(at(j));
        }
    });
    return times;
}

double grblRestart(double stopDelay, int dwellSteps, double lastTick) {
    return stopDelay + std::max(dwellSteps, 0) * grblDwellStep + lastTick / 2;
}

double grblRestartOnTick(double stopDelay, int dwellSteps, double lastTick, double latency) {
    const double wait = stopDelay + std::max(dwellSteps, 0) * grblDwellStep + latency;
    return lastTick > 0 ? std::ceil(wait / lastTick) * lastTick : wait;
}

std::pair<double, double> grblRestartRange(double stopDelay, int dwellSteps, double lastTick) {
    return {grblRestartOnTick(stopDelay, dwellSteps, lastTick, grblWakeLatency[0]),
            grblRestartOnTick(stopDelay, dwellSteps, lastTick, grblWakeLatency[1])};
}

double grblDwell(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) {
        return 0;
    }
    // GRBL counts the steps in single precision: 20 × P, rounded up.
    const float count = 20.0f * static_cast<float>(seconds);
    return std::ceil(count) * grblDwellStep;
}

double grblDwellRequest(int steps) {
    return steps > 0 ? steps * grblDwellStep - 0.001 : 0;
}

} // namespace chimex
