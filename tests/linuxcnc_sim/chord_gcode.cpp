// SPDX-License-Identifier: MIT
// Writes a chord score as LinuxCNC G-code timed by timeSegments, for the simulation to play until
// chimex-cli renders chords itself, for a machine whose task wakes every TASK_CYCLE seconds (0,
// the default: not known).
// Usage: chord_gcode SCORE OUT.ngc ACCEL MAXX MAXY MAXZ [TASK_CYCLE]
// SCORE: one segment a line, "start hold vx vy vz": seconds, and each axis's signed speed in mm/s
// (all 0: a rest); '#' starts a comment.
#include "cli/common/motion_options.h"
#include "machinefile/gcode_writer.h"
#include "motion/timed_segments.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

std::vector<TimingSegment> readScore(std::istream& in) {
    std::vector<TimingSegment> segments;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line.substr(0, line.find('#')));
        TimingSegment s;
        if (fields >> s.start >> s.hold >> s.velocity[0] >> s.velocity[1] >> s.velocity[2]) {
            segments.push_back(s);
        }
    }
    return segments;
}

/// The extents and fastest feeds, in HeaderItem order.
std::array<double, headerItemCount> headerOf(const std::vector<TimingSegment>& segments,
                                             const std::vector<TimedSegment>& timed) {
    std::array<double, headerItemCount> header{};
    for (std::size_t i = 0; i < timed.size(); ++i) {
        for (std::size_t a = 0; a < 3; ++a) {
            header[2 * a] = std::max(header[2 * a], timed[i].target[a]);
            header[2 * a + 1] = std::min(header[2 * a + 1], timed[i].target[a]);
            double& fastest = header[a == 2 ? 7 : 6];
            fastest = std::max(fastest, std::abs(segments[i].velocity[a]));
        }
    }
    return header;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7 && argc != 8) {
        std::cerr << "usage: chord_gcode SCORE OUT.ngc ACCEL MAXX MAXY MAXZ [TASK_CYCLE]\n";
        return 2;
    }
    std::ifstream score(argv[1]);
    const std::vector<TimingSegment> segments = readScore(score);
    const double accel = std::stod(argv[3]);
    const double resolution = std::pow(10.0, gcodeDecimals);
    const GcodeFormat format{GcodeDialect::LinuxCnc, LengthUnit::Millimetre};
    Acceleration timing;
    timing.xy = accel;
    timing.z = accel;
    timing.steps = {resolution, resolution, resolution};
    timing.servoPeriod = 0.001; // the simulation's
    timing.taskCycle = argc == 8 ? std::stod(argv[7]) : 0;
    Controller machine = controllerFor(timing, format);
    machine.feedAsWritten = [](double speed) {
        return pathFeedPerMinute(speed) / 60;
    };
    const std::array<double, 3> travel{std::stod(argv[4]), std::stod(argv[5]), std::stod(argv[6])};
    const std::vector<TimedSegment> timed = timeSegments(segments, machine, travel);

    std::ofstream out(argv[2], std::ios::binary);
    GcodeWriter writer(out, format);
    writer.writeStart(headerOf(segments, timed));
    std::array<double, 3> from{};
    std::optional<RestPlace> place;
    for (std::size_t i = 0; i < timed.size(); ++i) {
        const auto& v = segments[i].velocity;
        if (timed[i].dwellBefore > 0) {
            writer.writeTimedRest(timed[i].dwellBefore, machine, place);
        }
        std::vector<AxisTarget> targets;
        std::array<double, 3> shift{};
        for (std::size_t a = 0; a < 3; ++a) {
            if (v[a] != 0) {
                targets.push_back({static_cast<Axis>(a), timed[i].target[a]});
                shift[a] = timed[i].target[a] - from[a];
            }
        }
        if (!targets.empty() && timed[i].silence == Silence::None) {
            writer.writeMove(targets, feedAlong(shift, v));
            const auto a = axisIndex(targets.front().axis);
            place = RestPlace{targets.front().axis, from[a], timed[i].target[a]};
            from = timed[i].target;
        }
        if (timed[i].dwellAfter > 0) {
            writer.writeTimedRest(timed[i].dwellAfter, machine, place);
        }
    }
    writer.writeEnd();
    return out.good() ? 0 : 1;
}
