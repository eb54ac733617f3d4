// SPDX-License-Identifier: MIT
#include "cli/command_line.h"
#include "cli/preview/pitch_band.h"
#include "cli/preview/preview_layout.h"
#include "cli/preview/svg_text.h"
#include "partfile/number_text.h"
#include "scratch_folder.h"
#include "support/xml_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace chimex {
namespace {

using test::ScratchFolder;

using test::Element;
using ::testing::HasSubstr;

/// One straight piece of path data: "Mx0 y0Hx1", "Mx0 y0Vy1" or "Mx0 y0Lx1 y1".
struct Segment {
    double x0, y0, x1, y1;
    std::string colour;
};

std::vector<Segment> segments(const Element* group) {
    std::vector<Segment> out;
    if (group == nullptr) {
        ADD_FAILURE() << "no such group";
        return out;
    }
    for (const Element* path : group->all("path")) {
        const std::string& d = path->attributes.at("d");
        const char* p = d.c_str();
        while (*p != '\0') {
            if (*p != 'M') {
                ++p;
                continue;
            }
            Segment s{};
            s.colour = path->attributes.at("stroke");
            s.x0 = std::strtod(p + 1, const_cast<char**>(&p));
            s.y0 = std::strtod(p, const_cast<char**>(&p));
            const char command = *p;
            const double to = std::strtod(p + 1, const_cast<char**>(&p));
            s.x1 = command == 'V' ? s.x0 : to;
            s.y1 = command == 'H'   ? s.y0
                   : command == 'V' ? to
                                    : std::strtod(p, const_cast<char**>(&p));
            EXPECT_TRUE(command == 'H' || command == 'V' || command == 'L') << d;
            out.push_back(s);
        }
    }
    return out;
}

std::vector<std::string> texts(const Element& root) {
    std::vector<std::string> out;
    for (const Element* text : root.all("text")) {
        out.push_back(text->text);
    }
    return out;
}

/// Maps machine coordinates onto a view through its travel box.
struct BoxMap {
    const Element* box;
    double maxAcross, maxUp;
    double x(double v) const { return box->number("x") + v / maxAcross * box->number("width"); }
    double y(double v) const { return box->number("y") + box->number("height") * (1 - v / maxUp); }
};

class Preview : public ::testing::Test {
  protected:
    ExitStatus preview(const std::string& part, std::vector<std::string> options,
                       const std::string& name = "part.txt") {
        std::ofstream(path(name), std::ios::binary) << part;
        std::vector<std::string> args = {"preview", path(name), "-o", path("out.svg")};
        args.insert(args.end(), options.begin(), options.end());
        err.str("");
        return runCommandLine(args, {out, err, false});
    }
    Element written() {
        std::ifstream in(path("out.svg"), std::ios::binary);
        svg.assign(std::istreambuf_iterator<char>(in), {});
        return test::XmlReader::read(svg);
    }
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }

    ScratchFolder folder;
    std::ostringstream out;
    std::ostringstream err;
    std::string svg;
};

// Key speeds for the settings' initial values (BaseSpeed 3 / 8.2): key 0 0.366, key 12 0.732,
// key 24 1.463. Times: start pause 0-2; X 2-4; pause 4-4.5; Z 4.5-6.5; Y 6.5-7.5; X 7.5-8.5.
constexpr const char* song = "PAUSE 2\r\n"
                             "JS, 0.366\r\n"
                             "J3, 0.732\r\n"
                             "PAUSE, .5\r\n"
                             "JS,, 0.732\r\n"
                             "J3,,, 1.464\r\n"
                             "JS, 1.463\r\n"
                             "J3,, 1.463\r\n"
                             "JS, 0.732\r\n"
                             "J3, 1.464\r\n";

TEST_F(Preview, DrawsEveryJogInBothViewsInsideTheTravelBox) {
    ASSERT_EQ(preview(song, {"--unit", "in"}), ExitStatus::Done);
    const Element root = written();
    EXPECT_EQ(root.name, "svg");
    const Element* topBox = root.byId("top-view-travel-box");
    const Element* sideBox = root.byId("side-view-travel-box");
    ASSERT_TRUE(topBox && sideBox);
    EXPECT_NEAR(topBox->number("width") / topBox->number("height"), 96.0 / 48.0, 0.01);
    EXPECT_EQ(topBox->number("width"), sideBox->number("width"));

    const BoxMap top{topBox, 96, 48};
    const BoxMap side{sideBox, 96, 6};
    struct Expected {
        const char* view;
        std::vector<std::array<double, 4>> lines; ///< x0, up0, x1, up1 in machine units
        std::vector<int> keys;
    };
    for (const Expected& e :
         {Expected{"top-view-moves",
                   {{0, 0, 0.732, 0}, {0.732, 0, 0.732, 1.463}, {0.732, 1.463, 1.464, 1.463}},
                   {0, 24, 12}},
          Expected{"side-view-moves",
                   {{0, 0, 0.732, 0}, {0.732, 0, 0.732, 1.464}, {0.732, 1.464, 1.464, 1.464}},
                   {0, 12, 12}}}) {
        const BoxMap& map = std::string(e.view) == "top-view-moves" ? top : side;
        const auto drawn = segments(root.byId(e.view));
        ASSERT_EQ(drawn.size(), e.lines.size()) << e.view;
        for (std::size_t i = 0; i < e.lines.size(); ++i) {
            const auto& [x0, u0, x1, u1] = e.lines[i];
            const bool found = std::any_of(drawn.begin(), drawn.end(), [&](const Segment& s) {
                return std::abs(s.x0 - map.x(x0)) < 0.06 && std::abs(s.y0 - map.y(u0)) < 0.06 &&
                       std::abs(s.x1 - map.x(x1)) < 0.06 && std::abs(s.y1 - map.y(u1)) < 0.06 &&
                       s.colour == bandColour(e.keys[i]);
            });
            EXPECT_TRUE(found) << e.view << " segment " << i;
        }
    }
}

TEST_F(Preview, TimeLineHasOneBarPerJogAndPauseInItsLane) {
    ASSERT_EQ(preview(song, {}), ExitStatus::Done);
    const Element root = written();
    const auto bars = segments(root.byId("time-line-moves"));
    ASSERT_EQ(bars.size(), 6u);
    const Element* frame = root.byId("time-line")->all("rect").front();
    const double x = frame->number("x");
    const double width = frame->number("width");
    std::map<double, std::vector<std::pair<double, double>>> lanes; // by height: start, end in s
    for (const Segment& bar : bars) {
        lanes[bar.y0].emplace_back((bar.x0 - x) / width * 8.5, (bar.x1 - x) / width * 8.5);
    }
    ASSERT_EQ(lanes.size(), 4u); // X, Y, Z, pauses from top to bottom
    const std::vector<std::vector<std::pair<double, double>>> expected = {
        {{2, 4}, {7.5, 8.5}}, {{6.5, 7.5}}, {{4.5, 6.5}}, {{0, 2}, {4, 4.5}}};
    auto lane = lanes.begin();
    for (const auto& times : expected) {
        ASSERT_EQ(lane->second.size(), times.size());
        for (std::size_t i = 0; i < times.size(); ++i) {
            EXPECT_NEAR(lane->second[i].first, times[i].first, 0.01);
            EXPECT_NEAR(lane->second[i].second, times[i].second, 0.01);
        }
        ++lane;
    }
}

TEST_F(Preview, LabelsSayWhatAndHowFarAndHowLong) {
    ASSERT_EQ(preview(song, {"--unit", "in"}), ExitStatus::Done);
    const auto labels = texts(written());
    for (const char* label :
         {"4 notes, 2 pauses, running time 8.5 s",
          "Extents: X 0 to 1.464, Y 0 to 1.463, Z 0 to 1.464 in",
          "Travel box: X 0 to 96, Y 0 to 48, Z 0 to 6 in", "X (in)", "Y (in)", "Z (in)", "start",
          "end", "X", "Y", "Z", "pause", "C3", "C4", "C5", "C6", "time (seconds)", "0", "90"}) {
        EXPECT_THAT(labels, ::testing::Contains(label));
    }
    EXPECT_THAT(err.str(), HasSubstr("out.svg: 4 notes, running time 8.5 s"));
}

TEST_F(Preview, JogsOutsideTheTravelBoxWidenTheViewAndAreCalledOut) {
    std::ofstream(path("small.ini"), std::ios::binary)
        << "MaxX = 2\r\nMaxY = 2\r\nMaxZ = 2\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\n";
    ASSERT_EQ(preview("PAUSE 2\r\nJS, 1\r\nJ3, 1\r\nJ3,, 1\r\nJ3, 3\r\nJ3,, -1\r\n",
                      {"--settings", path("small.ini")}),
              ExitStatus::Done);
    EXPECT_THAT(err.str(),
                HasSubstr("warning: 2 jogs end outside the travel box (first at line 5)"));
    const Element root = written();
    const Element* box = root.byId("top-view-travel-box");
    EXPECT_NEAR(box->number("width"), box->number("height"), 0.1);
    const BoxMap top{box, 2, 2};
    const auto drawn = segments(root.byId("top-view-moves"));
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_NEAR(drawn[2].x1, top.x(3), 0.06);
    EXPECT_NEAR(drawn[3].y1, top.y(-1), 0.06);
    EXPECT_THAT(texts(root),
                ::testing::Contains("2 jogs end outside the travel box (first at line 5)"));
}

TEST_F(Preview, AMoveOfSeveralAxesIsOneStraightSegmentInEachView) {
    // X to 1, then X, Y and Z together along one line to 2.2, 1.6, 0.9: 2.193 long at 2 a second.
    ASSERT_EQ(preview("(file created by Gantrix Chimex software, G-code for LinuxCNC)\r\n"
                      "G21 G90 G94 G61.1\r\nG4 P2\r\nG1 X1 F60\r\nG1 X2.2 Y1.6 Z0.9 F120\r\nM2\r\n",
                      {}),
              ExitStatus::Done);
    const Element root = written();
    const BoxMap top{root.byId("top-view-travel-box"), 96, 48};
    const BoxMap side{root.byId("side-view-travel-box"), 96, 6};
    for (const auto& [view, map, up] :
         {std::tuple{"top-view-moves", top, 1.6}, std::tuple{"side-view-moves", side, 0.9}}) {
        const auto drawn = segments(root.byId(view));
        ASSERT_EQ(drawn.size(), 2u) << view;
        const Segment& chord = drawn[0].x0 == map.x(0) ? drawn[1] : drawn[0];
        EXPECT_NEAR(chord.x0, map.x(1), 0.06) << view;
        EXPECT_NEAR(chord.y0, map.y(0), 0.06) << view;
        EXPECT_NEAR(chord.x1, map.x(2.2), 0.06) << view;
        EXPECT_NEAR(chord.y1, map.y(up), 0.06) << view;
    }
    std::map<std::pair<double, double>, int> spans; // time-line bars by start and end
    for (const Segment& bar : segments(root.byId("time-line-moves"))) {
        ++spans[{bar.x0, bar.x1}];
    }
    EXPECT_EQ(spans.rbegin()->second, 3) << "the last, the chord's: one bar per axis, alike";
    EXPECT_THAT(err.str(), HasSubstr("running time 4.1 s"));
}

TEST_F(Preview, OddNamesAndEmptyFilesMakeWellFormedPictures) {
    const std::string name = "a&b<c> \"d\" \x01\xff.txt";
    ASSERT_EQ(preview("PAUSE 2\r\n", {"--unit", "<mm>"}, name), ExitStatus::Done);
    const Element root = written();
    EXPECT_EQ(root.byId("title")->text, "Preview of " + path("a&b<c> \"d\" ?\xEF\xBF\xBD.txt"));
    EXPECT_THAT(texts(root), ::testing::Contains("X (<mm>)"));
    EXPECT_THAT(svg, ::testing::Not(HasSubstr("nan")));
    EXPECT_THAT(svg, ::testing::Not(HasSubstr("inf")));
    ASSERT_EQ(preview("", {}), ExitStatus::Done);
    EXPECT_THAT(texts(written()), ::testing::Contains("0 notes, 0 pauses, running time 0.0 s"));
}

TEST_F(Preview, LongPathsAreSplitIntoElementsThatXmlReadersAccept) {
    std::string part = "JS, 1\r\n";
    for (int i = 0; i < 2250; ++i) {
        part += "J3, 1\r\nJ3, 2\r\n";
    }
    ASSERT_EQ(preview(part, {}), ExitStatus::Done);
    const Element root = written();
    const Element* moves = root.byId("top-view-moves");
    EXPECT_EQ(moves->all("path").size(), 3u);
    EXPECT_EQ(segments(moves).size(), 4500u);
    EXPECT_EQ(segments(root.byId("time-line-moves")).size(), 4500u);
}

TEST(PitchBands, SpeedsOfTheKeysGetTheirKeysAndOthersTheirOwnBand) {
    const PitchBands bands(static_cast<float>(3.0 / 8.2));
    const std::pair<std::optional<double>, int> table[] = {{0.366, 0},
                                                           {0.732, 12},
                                                           {1.463, 24},
                                                           {2.927, 36},
                                                           {0.388, 1},
                                                           {0.5, otherSpeedBand},
                                                           {0.2, otherSpeedBand},
                                                           {5.9, otherSpeedBand},
                                                           {0, otherSpeedBand},
                                                           {std::nullopt, otherSpeedBand}};
    for (const auto& [speed, band] : table) {
        EXPECT_EQ(bands.bandOf(speed), band) << speed.value_or(-1);
    }
    EXPECT_EQ(PitchBands(0).bandOf(1.0), otherSpeedBand);
    std::set<std::string> colours;
    for (int band = 0; band < bandCount; ++band) {
        colours.insert(bandColour(band));
    }
    EXPECT_EQ(colours.size(), static_cast<std::size_t>(bandCount));
    EXPECT_EQ(keyName(0), "C3");
    EXPECT_EQ(keyName(13), "C#4");
    EXPECT_EQ(keyName(36), "C6");
}

TEST(PreviewText, EscapesAndNumbersAndDurations) {
    const std::pair<std::string, std::string> escapes[] = {
        {"a&b", "a&amp;b"},
        {"<x y='1'>", "&lt;x y=&apos;1&apos;&gt;"},
        {"\"q\"", "&quot;q&quot;"},
        {"tab\there", "tab?here"},
        {"F\xC3\xBCr", "F\xC3\xBCr"},
        {"bad\xFF\xC3", "bad\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}};
    for (const auto& [raw, escaped] : escapes) {
        EXPECT_EQ(svgText(raw), escaped) << raw;
    }
    const std::pair<double, std::string> numbers[] = {{80, "80"},        {12.25, "12.2"},
                                                      {12.26, "12.3"},   {-0.01, "0"},
                                                      {1e30, "1000000"}, {-1e30, "-1000000"}};
    for (const auto& [value, text] : numbers) {
        EXPECT_EQ(svgNumber(value), text) << value;
    }
    const std::pair<double, std::string> durations[] = {
        {0, "0.0 s"}, {12.34, "12.3 s"}, {245.3, "4:05.3"}, {3725, "1:02:05"}, {1e20, "1e+20 s"}};
    for (const auto& [seconds, text] : durations) {
        EXPECT_EQ(durationText(seconds), text) << seconds;
    }
    EXPECT_THAT(spaceTicks(0, 96, 10),
                ::testing::ElementsAre(0, 10, 20, 30, 40, 50, 60, 70, 80, 90));
    EXPECT_THAT(spaceTicks(-1, 6, 3), ::testing::ElementsAre(0, 5));
    EXPECT_THAT(timeTicks(8.5, 10), ::testing::ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8));
    EXPECT_THAT(timeTicks(3600, 10), ::testing::ElementsAre(0, 600, 1200, 1800, 2400, 3000, 3600));
}

} // namespace
} // namespace chimex
