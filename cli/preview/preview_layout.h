// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/machine_limits.h"
#include "cli/preview/preview_summary.h"

#include <array>
#include <string>
#include <vector>

namespace chimex {

/// Maps machine coordinates (or seconds) from `low` to `high` onto pixels from `from` to `to`.
struct AxisMap {
    double low = 0;
    double high = 1;
    double from = 0;
    double to = 1;

    double pixel(double value) const { return from + (value - low) / (high - low) * (to - from); }
};

/// Where everything of a preview goes, in pixels from the top left.
struct PreviewLayout {
    static constexpr double width = 1000;
    static constexpr double left = 80;       ///< left edge of the plots
    static constexpr double plotWidth = 860; ///< widest plot
    static constexpr double laneHeight = 18; ///< one lane of the time line
    static constexpr std::array<const char*, 4> laneNames = {
        axisLetter(Axis::X), axisLetter(Axis::Y), axisLetter(Axis::Z), "pause"};

    AxisMap topX, topY, sideX, sideZ, time;
    double headerBottom = 0;
    double topTop = 0;
    double sideTop = 0;
    double timeTop = 0;
    double legendTop = 0;
    double height = 0;
    double yStretch = 1; ///< how many times the Y scale exceeds the X scale
    double zStretch = 1;

    /// Centre line of lane 0 (X) to 3 (pauses).
    double laneCentre(int lane) const { return timeTop + (lane + 0.5) * laneHeight; }
};

PreviewLayout layOutPreview(const PreviewSummary& summary, const MachineLimits& limits,
                            bool warningLine);

/// Round tick values from `low` to `high`, about `most` of them at most.
std::vector<double> spaceTicks(double low, double high, int most);
/// Round times (whole seconds, minutes or hours where they fit) from 0 to `seconds`.
std::vector<double> timeTicks(double seconds, int most);
/// A tick value with as many decimals as the step between ticks needs.
std::string tickText(double value, double step);

} // namespace chimex
