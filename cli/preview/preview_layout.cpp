// SPDX-License-Identifier: MIT
#include "preview_layout.h"

#include "cli/preview/svg_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace chimex {
namespace {

constexpr double headerLines = 4; // title, summary, extents, travel box
constexpr double lineHeight = 20;
constexpr double sectionGap = 64; // heading above a plot, ticks and axis label below
constexpr double topMost = 460;   // tallest top view
constexpr double topLeast = 90;
constexpr double sideMost = 200;
constexpr double sideLeast = 70;

/// The range a view shows: the travel box and whatever the tool reaches outside it.
AxisMap range(const AxisExtent& extent, float limit) {
    AxisMap map;
    map.low = std::min(0.0, extent.low);
    map.high = std::max({static_cast<double>(limit), extent.high, map.low});
    if (!(map.high - map.low > 0) || !std::isfinite(map.high - map.low)) {
        map.high = map.low + 1;
    }
    return map;
}

double span(const AxisMap& map) {
    return map.high - map.low;
}

} // namespace

PreviewLayout layOutPreview(const PreviewSummary& summary, const MachineLimits& limits,
                            bool warningLine) {
    PreviewLayout layout;
    layout.topX = range(summary.extents[0], limits.MaxX);
    layout.topY = range(summary.extents[1], limits.MaxY);
    layout.sideZ = range(summary.extents[2], limits.MaxZ);
    // X and Y share one scale unless the box is so flat that Y must be drawn taller.
    double scale =
        std::min(PreviewLayout::plotWidth / span(layout.topX), topMost / span(layout.topY));
    const double topHeight = std::clamp(span(layout.topY) * scale, topLeast, topMost);
    const double sideHeight = std::clamp(span(layout.sideZ) * scale, sideLeast, sideMost);
    layout.yStretch = topHeight / span(layout.topY) / scale;
    layout.zStretch = sideHeight / span(layout.sideZ) / scale;

    layout.headerBottom = 16 + (headerLines + (warningLine ? 1 : 0)) * lineHeight;
    layout.topTop = layout.headerBottom + 42;
    layout.topX.from = PreviewLayout::left;
    layout.topX.to = PreviewLayout::left + span(layout.topX) * scale;
    layout.topY.from = layout.topTop + topHeight;
    layout.topY.to = layout.topTop;

    layout.sideTop = layout.topTop + topHeight + sectionGap;
    layout.sideX = layout.topX;
    layout.sideZ.from = layout.sideTop + sideHeight;
    layout.sideZ.to = layout.sideTop;

    layout.timeTop = layout.sideTop + sideHeight + sectionGap;
    layout.time = {0, summary.seconds > 0 ? summary.seconds : 1, PreviewLayout::left,
                   PreviewLayout::left + PreviewLayout::plotWidth};
    layout.legendTop =
        layout.timeTop + PreviewLayout::laneNames.size() * PreviewLayout::laneHeight + sectionGap;
    layout.height = layout.legendTop + 60;
    return layout;
}

std::vector<double> spaceTicks(double low, double high, int most) {
    const double raw = (high - low) / most;
    double step = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (step * factor >= raw) {
            step *= factor;
            break;
        }
    }
    std::vector<double> ticks;
    for (double k = std::ceil(low / step); k * step <= high + step * 1e-9; ++k) {
        ticks.push_back(k * step);
    }
    return ticks;
}

std::vector<double> timeTicks(double seconds, int most) {
    static constexpr double steps[] = {0.1,  0.2,  0.5,  1,     2,     5,     10,
                                       15,   30,   60,   120,   300,   600,   900,
                                       1800, 3600, 7200, 10800, 21600, 43200, 86400};
    double step = 0;
    for (double candidate : steps) {
        if (seconds / candidate <= most) {
            step = candidate;
            break;
        }
    }
    if (step == 0) {
        return spaceTicks(0, seconds, most);
    }
    std::vector<double> ticks;
    for (double k = 0; k * step <= seconds * (1 + 1e-9); ++k) {
        ticks.push_back(k * step);
    }
    return ticks;
}

std::string tickText(double value, double step) {
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    return svgNumber(value, decimals);
}

} // namespace chimex
