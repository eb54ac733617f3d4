// SPDX-License-Identifier: MIT
#include "preview_svg.h"

#include "cli/common/rewind_move_file.h"
#include "cli/preview/preview_layout.h"
#include "cli/preview/segment_spool.h"
#include "cli/preview/svg_text.h"
#include "files/failure.h"
#include "partfile/number_text.h"

#include <algorithm>
#include <cmath>

namespace chimex {
namespace {

enum View { TopView, SideView, TimeLine, viewCount };

constexpr double shortestMark = 0.3; // px; the least length of a jog or pause on the time line

int pile(View view, int band) {
    return view * bandCount + band;
}

/// Writes `text` as one line of the file.
void line(std::ostream& out, const std::string& text) {
    out << text << "\r\n";
}

std::string attribute(const char* name, double value) {
    return std::string(" ") + name + "=\"" + svgNumber(value) + "\"";
}

void text(std::ostream& out, double x, double y, const std::string& content,
          const std::string& extra = "") {
    line(out, "<text" + attribute("x", x) + attribute("y", y) + extra + ">" + svgText(content) +
                  "</text>");
}

void rule(std::ostream& out, double x1, double y1, double x2, double y2, const char* colour) {
    line(out, "<line" + attribute("x1", x1) + attribute("y1", y1) + attribute("x2", x2) +
                  attribute("y2", y2) + " stroke=\"" + colour + "\"/>");
}

std::string horizontal(double x0, double y, double x1) {
    return "M" + svgNumber(x0) + " " + svgNumber(y) + "H" + svgNumber(x1);
}

std::string vertical(double x, double y0, double y1) {
    return "M" + svgNumber(x) + " " + svgNumber(y0) + "V" + svgNumber(y1);
}

std::string straight(double x0, double y0, double x1, double y1) {
    return "M" + svgNumber(x0) + " " + svgNumber(y0) + "L" + svgNumber(x1) + " " + svgNumber(y1);
}

/// The axes of one G1 that move together along a straight line, gathered as they are read.
struct PathMove {
    long long line = -1; ///< -1: none gathered
    std::array<double, 3> from{};
    std::array<double, 3> to{};
    std::array<double, 3> speed{}; ///< each axis's share of the feed; 0 for an axis that stays
};

/// Draws a gathered G1 as one segment in each view it moves in, in the colour of the faster of
/// that view's two axes.
void drawPath(const PathMove& path, const PreviewLayout& layout, const PitchBands& bands,
              SegmentSpool& spool) {
    const auto draw = [&](View view, std::size_t up, const AxisMap& across, const AxisMap& map) {
        const double fastest = std::max(path.speed[0], path.speed[up]);
        if (path.line < 0 || !(fastest > 0)) {
            return;
        }
        spool.add(pile(view, bands.bandOf(fastest)),
                  straight(across.pixel(path.from[0]), map.pixel(path.from[up]),
                           across.pixel(path.to[0]), map.pixel(path.to[up])));
    };
    draw(TopView, 1, layout.topX, layout.topY);
    draw(SideView, 2, layout.sideX, layout.sideZ);
}

/// Draws a jog of one axis (or a part file's jog of several, one axis after the other).
void drawJog(const MoveEvent& event, const std::array<double, 3>& at, const PreviewLayout& layout,
             int band, SegmentSpool& spool) {
    if (event.axis == Axis::X) {
        const double x0 = layout.topX.pixel(event.from);
        const double x1 = layout.topX.pixel(event.target);
        spool.add(pile(TopView, band), horizontal(x0, layout.topY.pixel(at[1]), x1));
        spool.add(pile(SideView, band), horizontal(x0, layout.sideZ.pixel(at[2]), x1));
    } else if (event.axis == Axis::Y) {
        spool.add(pile(TopView, band),
                  vertical(layout.topX.pixel(at[0]), layout.topY.pixel(event.from),
                           layout.topY.pixel(event.target)));
    } else {
        spool.add(pile(SideView, band),
                  vertical(layout.sideX.pixel(at[0]), layout.sideZ.pixel(event.from),
                           layout.sideZ.pixel(event.target)));
    }
}

/// The second reading: every jog and pause as path data, sorted by view and colour band.
void drawEvents(std::istream& part, const std::string& name, const PreviewLayout& layout,
                const PitchBands& bands, SegmentSpool& spool) {
    TimedMoveReader reader(part, name);
    std::array<double, 3> at{0, 0, 0};
    PathMove path;
    while (const auto timed = reader.next()) {
        const MoveEvent& event = timed->event;
        if (!event.alongPath || event.line != path.line) {
            drawPath(path, layout, bands, spool);
            path = {event.alongPath ? event.line : -1, at, at, {}};
        }
        const double t0 = layout.time.pixel(timed->start);
        const double t1 =
            std::max(layout.time.pixel(timed->start + timed->seconds), t0 + shortestMark);
        if (event.kind == MoveEventKind::Pause) {
            spool.add(pile(TimeLine, pauseBand), horizontal(t0, layout.laneCentre(3), t1));
            continue;
        }
        const int band = bands.bandOf(event.speed);
        const auto axis = static_cast<std::size_t>(event.axis);
        spool.add(pile(TimeLine, band),
                  horizontal(t0, layout.laneCentre(static_cast<int>(axis)), t1));
        if (event.alongPath) {
            path.to[axis] = event.target;
            path.speed[axis] = event.speed.value_or(0);
        } else {
            drawJog(event, at, layout, band, spool);
        }
        at[axis] = event.target;
    }
    drawPath(path, layout, bands, spool);
}

void writePaths(std::ostream& out, SegmentSpool& spool, View view, const std::string& id,
                double strokeWidth) {
    line(out, "<g id=\"" + id + "\" fill=\"none\" stroke-width=\"" + svgNumber(strokeWidth) +
                  "\" stroke-linecap=\"" + (view == TimeLine ? "butt" : "round") + "\">");
    for (int band = 0; band < bandCount; ++band) {
        const int index = pile(view, band);
        if (spool.count(index) == 0) {
            continue;
        }
        const std::string start = "<path stroke=\"" + bandColour(band) + "\" d=\"";
        out << start;
        spool.copy(index, out, "\"/>\r\n" + start);
        line(out, "\"/>");
    }
    line(out, "</g>");
}

std::string extentText(const char* axis, const AxisExtent& extent) {
    return std::string(axis) + " " + shortestText(extent.low) + " to " + shortestText(extent.high);
}

void writeHeader(std::ostream& out, const std::string& name, const PreviewSummary& summary,
                 const PreviewOptions& options) {
    const MachineLimits& limits = options.limits;
    const double x = PreviewLayout::left;
    text(out, x, 32, "Preview of " + name, " id=\"title\" font-size=\"18\" font-weight=\"bold\"");
    text(out, x, 56,
         summary.notes.text() + ", " + std::to_string(summary.pauses) + " pauses, running time " +
             durationText(summary.seconds),
         " id=\"summary\"");
    text(out, x, 76,
         "Extents: " + extentText("X", summary.extents[0]) + ", " +
             extentText("Y", summary.extents[1]) + ", " + extentText("Z", summary.extents[2]) +
             " " + options.unit,
         " id=\"extents\"");
    text(out, x, 96,
         "Travel box: X 0 to " + shortestText(limits.MaxX) + ", Y 0 to " +
             shortestText(limits.MaxY) + ", Z 0 to " + shortestText(limits.MaxZ) + " " +
             options.unit,
         " id=\"travel\"");
    if (summary.outsideTravel.count > 0) {
        text(out, x, 116,
             std::to_string(summary.outsideTravel.count) +
                 " jogs end outside the travel box (first at line " +
                 std::to_string(summary.outsideTravel.firstLine) + ")",
             " id=\"outside\" fill=\"#c00000\" font-weight=\"bold\"");
    }
}

/// Grid lines, tick labels and the axis names of a view in the machine's units.
void writeAxes(std::ostream& out, const AxisMap& across, const AxisMap& up, const char* acrossName,
               const char* upName, const std::string& unit) {
    const auto acrossTicks = spaceTicks(across.low, across.high, 10);
    const int upMost = std::clamp(static_cast<int>((up.from - up.to) / 30), 2, 8);
    const auto upTicks = spaceTicks(up.low, up.high, upMost);
    const double acrossStep = acrossTicks.size() > 1 ? acrossTicks[1] - acrossTicks[0] : 1;
    const double upStep = upTicks.size() > 1 ? upTicks[1] - upTicks[0] : 1;
    for (double tick : acrossTicks) {
        const double x = across.pixel(tick);
        rule(out, x, up.to, x, up.from, "#e2e2e2");
        text(out, x, up.from + 16, tickText(tick, acrossStep), " text-anchor=\"middle\"");
    }
    for (double tick : upTicks) {
        const double y = up.pixel(tick);
        rule(out, across.from, y, across.to, y, "#e2e2e2");
        text(out, across.from - 6, y + 4, tickText(tick, upStep), " text-anchor=\"end\"");
    }
    text(out, (across.from + across.to) / 2, up.from + 34,
         std::string(acrossName) + " (" + unit + ")", " text-anchor=\"middle\" class=\"axis\"");
    const double x = PreviewLayout::left - 52;
    const double y = (up.from + up.to) / 2;
    line(out, "<text transform=\"translate(" + svgNumber(x) + " " + svgNumber(y) +
                  ") rotate(-90)\" text-anchor=\"middle\" class=\"axis\">" +
                  svgText(std::string(upName) + " (" + unit + ")") + "</text>");
}

void writeMarkers(std::ostream& out, double x0, double y0, double x1, double y1) {
    line(out, "<circle" + attribute("cx", x0) + attribute("cy", y0) +
                  " r=\"5\" fill=\"white\" stroke=\"black\" stroke-width=\"2\"/>");
    text(out, x0 + 8, y0 - 6, "start", " class=\"marker\"");
    line(out, "<rect" + attribute("x", x1 - 4) + attribute("y", y1 - 4) +
                  " width=\"8\" height=\"8\" fill=\"black\"/>");
    text(out, x1 + 8, y1 + 14, "end", " class=\"marker\"");
}

std::string stretchNote(const char* axis, double stretch) {
    if (std::fabs(stretch - 1) < 0.01) {
        return "";
    }
    return std::string("; ") + axis + " drawn " + shortestText(std::round(stretch * 10) / 10) +
           " times as large as X";
}

struct SpaceView {
    View view;
    const char* id;
    const char* heading;
    const char* upName;
    AxisMap across;
    AxisMap up;
    float acrossLimit;
    float upLimit;
    std::size_t upAxis;
    double stretch;
};

void writeSpaceView(std::ostream& out, const SpaceView& v, const PreviewSummary& summary,
                    SegmentSpool& spool, const std::string& unit) {
    line(out, "<g id=\"" + std::string(v.id) + "\">");
    text(out, PreviewLayout::left, v.up.to - 12,
         std::string(v.heading) + stretchNote(v.upName, v.stretch), " class=\"heading\"");
    const double x0 = v.across.pixel(0);
    const double y0 = v.up.pixel(v.upLimit);
    line(out, "<rect id=\"" + std::string(v.id) + "-travel-box\"" + attribute("x", x0) +
                  attribute("y", y0) + attribute("width", v.across.pixel(v.acrossLimit) - x0) +
                  attribute("height", v.up.pixel(0) - y0) +
                  " fill=\"#f4f7fb\" stroke=\"#33475b\" stroke-width=\"1.5\"/>");
    writeAxes(out, v.across, v.up, "X", v.upName, unit);
    writePaths(out, spool, v.view, std::string(v.id) + "-moves", 1.5);
    writeMarkers(out, v.across.pixel(summary.start[0]), v.up.pixel(summary.start[v.upAxis]),
                 v.across.pixel(summary.end[0]), v.up.pixel(summary.end[v.upAxis]));
    line(out, "</g>");
}

std::string timeTickText(double seconds, double total) {
    const auto whole = std::llround(seconds);
    char buffer[32];
    if (total < 60) {
        return svgNumber(seconds, 1);
    }
    if (total < 3600) {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", whole / 60, whole % 60);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld:%02lld", whole / 3600, whole / 60 % 60);
    }
    return buffer;
}

void writeTimeLine(std::ostream& out, const PreviewLayout& layout, double total,
                   SegmentSpool& spool) {
    line(out, "<g id=\"time-line\">");
    const double top = layout.timeTop;
    const double bottom = layout.laneCentre(3) + PreviewLayout::laneHeight / 2;
    text(out, PreviewLayout::left, top - 12,
         "Time line: which axis jogs when, and the pauses (the first is the start pause)",
         " class=\"heading\"");
    line(out, "<rect" + attribute("x", layout.time.from) + attribute("y", top) +
                  attribute("width", layout.time.to - layout.time.from) +
                  attribute("height", bottom - top) + " fill=\"#f4f7fb\" stroke=\"#33475b\"/>");
    const bool huge = total >= 1e12;
    for (double tick : huge ? spaceTicks(0, total, 10) : timeTicks(total, 10)) {
        const double x = layout.time.pixel(tick);
        rule(out, x, top, x, bottom, "#e2e2e2");
        text(out, x, bottom + 16, huge ? shortestText(tick) : timeTickText(tick, total),
             " text-anchor=\"middle\"");
    }
    for (int lane = 0; lane < 4; ++lane) {
        text(out, PreviewLayout::left - 8, layout.laneCentre(lane) + 4,
             PreviewLayout::laneNames[static_cast<std::size_t>(lane)],
             " text-anchor=\"end\" class=\"axis\"");
    }
    const char* unit = total < 60 ? "seconds" : total < 3600 ? "minutes:seconds" : "hours:minutes";
    text(out, (layout.time.from + layout.time.to) / 2, bottom + 34,
         std::string("time (") + (huge ? "seconds" : unit) + ")",
         " text-anchor=\"middle\" class=\"axis\"");
    writePaths(out, spool, TimeLine, "time-line-moves", PreviewLayout::laneHeight - 4);
    line(out, "</g>");
}

void swatch(std::ostream& out, double x, double y, int band) {
    line(out, "<rect" + attribute("x", x) + attribute("y", y) +
                  " width=\"20\" height=\"14\" fill=\"" + bandColour(band) + "\"/>");
}

void writeLegend(std::ostream& out, const PreviewLayout& layout, const PreviewSummary& summary) {
    const double top = layout.legendTop;
    line(out, "<g id=\"legend\">");
    text(out, PreviewLayout::left, top - 8, "Colour: the key whose note the jog speed sounds",
         " class=\"heading\"");
    for (int key = 0; key < keyCount; ++key) {
        const double x = PreviewLayout::left + key * 20;
        swatch(out, x, top, key);
        if (key % 12 == 0) {
            text(out, x + 10, top + 28, keyName(key), " text-anchor=\"middle\"");
        }
    }
    double x = PreviewLayout::left + keyCount * 20 + 24;
    if (summary.bandsUsed[otherSpeedBand]) {
        swatch(out, x, top, otherSpeedBand);
        text(out, x + 26, top + 12, "other speed");
        x += 110;
    }
    swatch(out, x, top, pauseBand);
    text(out, x + 26, top + 12, "pause");
    line(out, "</g>");
}

void writeSvg(std::ostream& out, const std::string& name, const PreviewSummary& summary,
              const PreviewOptions& options, const PreviewLayout& layout, SegmentSpool& spool) {
    const MachineLimits& limits = options.limits;
    const std::string width = svgNumber(PreviewLayout::width);
    const std::string height = svgNumber(layout.height);
    line(out, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    line(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + width +
                  "\" height=\"" + height + "\" viewBox=\"0 0 " + width + " " + height +
                  "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" font-size=\"12\" "
                  "fill=\"#222222\">");
    line(out, "<title>" + svgText("Preview of " + name) + "</title>");
    line(out, "<style>.heading{font-weight:bold;font-size:13px}.axis{font-weight:bold}"
              ".marker{font-size:11px}</style>");
    line(out, "<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"white\"/>");
    writeHeader(out, name, summary, options);
    writeSpaceView(out,
                   {TopView, "top-view", "Top view (X and Y)", "Y", layout.topX, layout.topY,
                    limits.MaxX, limits.MaxY, 1, layout.yStretch},
                   summary, spool, options.unit);
    writeSpaceView(out,
                   {SideView, "side-view", "Side view (X and Z)", "Z", layout.sideX, layout.sideZ,
                    limits.MaxX, limits.MaxZ, 2, layout.zStretch},
                   summary, spool, options.unit);
    writeTimeLine(out, layout, summary.seconds, spool);
    writeLegend(out, layout, summary);
    line(out, "</svg>");
}

} // namespace

PreviewSummary writePreview(std::istream& part, const std::string& name,
                            const PreviewOptions& options, std::ostream& svg, std::ostream& err) {
    const PitchBands bands(baseSpeedFor(options.limits.MaxXYSpeed));
    const PreviewSummary summary = summariseMoves(part, name, options.limits, bands, err);
    printWarning(err, summary.outsideTravel, "jogs end outside the travel box");
    const PreviewLayout layout =
        layOutPreview(summary, options.limits, summary.outsideTravel.count > 0);
    rewindMoveFile(part, name);
    SegmentSpool spool(viewCount * bandCount);
    drawEvents(part, name, layout, bands, spool);
    writeSvg(svg, name, summary, options, layout, spool);
    return summary;
}

} // namespace chimex
