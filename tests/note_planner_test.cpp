// SPDX-License-Identifier: MIT
#include "core/note_planner.h"
#include "files/failure.h"
#include "playing_fixture.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

using namespace chimex;
using chimex::test::Playing;

namespace {

void setLimits(ProgramState& s, float maxX, float maxY, float maxZ, float maxZSpeed) {
    s.MaxX = maxX;
    s.MaxY = maxY;
    s.MaxZ = maxZ;
    s.MaxZSpeed = maxZSpeed;
}

void setNote(ProgramState& s, float speed, float duration) {
    s.NoteSpeed = speed;
    s.NoteDuration = duration;
}

/// Everything a placed note changes besides MoveChoice and the journal.
std::array<float, 8> placedValues(const ProgramState& s) {
    return {s.CurX, s.CurY, s.CurZ, s.HighX, s.HighY, s.HighZ, s.TopXYSpeed, s.TopZSpeed};
}

} // namespace

TEST(NotePlanner, WorkedExampleGoesUpOnZ) {
    Playing p;
    setLimits(p.state, 10, 10, 6, 2);
    setNote(p.state, 1.463f, 0.523f);
    p.platform.randomNumbers = {0.70f};

    planNote(p.state, p.platform);

    EXPECT_EQ(p.state.MoveChoice, 5);
    EXPECT_EQ(p.state.CurZ, 0.76514906f);
    EXPECT_EQ(p.state.HighZ, 0.76514906f);
    EXPECT_EQ(p.state.TopZSpeed, 1.463f);
    EXPECT_EQ(p.state.TopXYSpeed, 0.0f);
    EXPECT_EQ(p.state.CurX, 0.0f);
    EXPECT_EQ(p.state.CurY, 0.0f);
    EXPECT_EQ(p.text(), "\r\nJS,, 1.463\r\n' note duration = 0.523\r\nJ3,,, .765\r\n");
}

struct PlacementCase {
    const char* name;
    std::array<float, 3> cur; ///< CurX, CurY, CurZ
    float maxX;               ///< MaxY and MaxZ are 10
    float speed, duration;
    std::vector<float> draws;
    std::int32_t choice;
    const char* jogLine;
    float maxZSpeed = 2;
};

// r gives MoveChoice floor(6r + 1): 0.0 -> 1 (X down first), 0.2 -> 2 (X up first),
// 0.4 -> 3 (Y down first), 0.5 -> 4 (Y up first), 0.7 -> 5 (Z down first), 0.9 -> 6 (Z up first).
const PlacementCase placementCases[] = {
    {"FirstMoveGoesUp", {0, 0, 0}, 10, 1, 1.5f, {0.0f}, 1, "J3, 1.500"},
    {"UpOntoLimitRefusedFallsBackDown", {8.5f, 0, 0}, 10, 1, 1.5f, {0.2f}, 2, "J3, 7.000"},
    {"DownOntoZeroRefusedFallsBackUp", {0, 1.5f, 0}, 10, 1, 1.5f, {0.4f}, 3, "J3,, 3.000"},
    {"ZGatePassesAtEquality", {0, 0, 0}, 10, 2, 0.5f, {0.9f}, 6, "J3,,, 1.000"},
    {"ZDrawsOfAFasterNoteAreSpent", {0, 0, 0}, 10, 2.001f, 1, {0.9f, 0.7f, 0.0f}, 1, "J3, 2.001"},
    {"ZSpeedZeroKeepsEvenAStillNoteOffZ", {0, 0, 0}, 10, 0, 1, {0.9f, 0.0f}, 1, "J3, .000", 0},
    {"AxisWithLimitZeroIsNeverUsed", {0, 0, 0}, 0, 1, 1, {0.0f, 0.2f, 0.5f}, 4, "J3,, 1.000"},
    {"FullAxisPassesToTheNextDraw", {0, 0, 0}, 1, 1, 1.5f, {0.0f, 0.5f}, 4, "J3,, 1.500"},
    // The jog line's three decimals must not put the tool on the limit or on 0 either.
    {"UpWrittenOntoLimitRefused", {5.9f, 0, 0}, 6, 1, 0.0996f, {0.2f}, 2, "J3, 5.800"},
    {"DownWrittenOntoZeroRefused", {0.5f, 0, 0}, 10, 1, 0.4996f, {0.0f}, 1, "J3, 1.000"},
    {"DistanceZeroAtZeroGoesUp", {0, 0, 0}, 10, 1, 0, {0.0f}, 1, "J3, .000"},
    {"DistanceZeroAboveZeroGoesDown", {3, 0, 0}, 10, 1, 0, {0.0f}, 1, "J3, 3.000"},
    // A negative speed setting gives a negative distance; the tool still stays below the limit.
    {"NegativeDistanceStaysInsideTravel", {9, 0, 0}, 10, -1, 1.5f, {0.0f}, 1, "J3, 7.500"},
    {"NegativeDistanceOntoLimitRefused", {8.5f, 0, 0}, 10, -1, 1.5f, {0.0f}, 1, "J3, 7.000"},
    // Six failed draws: the choices in table order, the first that fits.
    {"SixZDrawsOfAFastNoteFallBackToX",
     {0, 0, 0},
     10,
     3,
     1,
     {0.9f, 0.7f, 0.9f, 0.7f, 0.9f, 0.7f},
     1,
     "J3, 3.000"},
    {"SixDrawsOnAFullAxisFallBackToY",
     {0, 0, 0},
     1,
     1,
     1.5f,
     {0.0f, 0.2f, 0.0f, 0.2f, 0.0f, 0.2f},
     3,
     "J3,, 1.500"},
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
    *out << c.name;
}

class Placement : public testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, TakesTheFirstAllowedDirectionOfTheDrawnAxis) {
    const PlacementCase& c = GetParam();
    Playing p;
    setLimits(p.state, c.maxX, 10, 10, c.maxZSpeed);
    setNote(p.state, c.speed, c.duration);
    p.state.CurX = c.cur[0];
    p.state.CurY = c.cur[1];
    p.state.CurZ = c.cur[2];
    p.platform.randomNumbers.assign(c.draws.begin(), c.draws.end());
    p.platform.randomNumbers.push_back(0.0f); // must stay undrawn

    planNote(p.state, p.platform);

    EXPECT_EQ(p.platform.randomNumbers.size(), 1u);
    EXPECT_EQ(p.state.MoveChoice, c.choice);
    const auto lines = p.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], c.jogLine);
}

INSTANTIATE_TEST_SUITE_P(NotePlanner, Placement, testing::ValuesIn(placementCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NotePlanner, ZAndYSpeedsOfTheirOwnGateTimeAndNameTheirMoves) {
    Playing p;
    setLimits(p.state, 10, 10, 10, 2);
    setNote(p.state, 1, 0.5f);
    // Z up; the second note's Z draw is spent; the third goes on Y at Y's own speed.
    p.platform.randomNumbers = {0.9f, 0.9f, 0.0f, 0.4f};

    planNote(p.state, p.platform, p.state.NoteSpeed, 1.5f);
    planNote(p.state, p.platform, p.state.NoteSpeed, 2.5f);
    planNote(p.state, p.platform, 0.75f, 2.5f);

    EXPECT_EQ(p.text(), "\r\nJS,, 1.5\r\n' note duration = 0.5\r\nJ3,,, .750\r\n"
                        "\r\nJS, 1\r\n' note duration = 0.5\r\nJ3, .500\r\n"
                        "\r\nJS, 0.75\r\n' note duration = 0.5\r\nJ3,, .375\r\n");
    EXPECT_EQ(p.state.TopZSpeed, 1.5f);
    EXPECT_EQ(p.state.TopXYSpeed, 1.0f);
}

TEST(NotePlanner, ExtentsAndFastestSpeedsRiseOnlyForStrictlyGreaterValues) {
    struct Step {
        float speed, duration, draw;
        float curX, highX, highZ, topXY, topZ;
    };
    const Step steps[] = {
        {2, 1, 0.2f, 2, 2, 0, 2, 0},           // X up: extent and XY speed rise
        {1, 1, 0.0f, 1, 2, 0, 2, 0},           // X down: extent stays, slower speed does not count
        {1.5f, 0.5f, 0.2f, 1.75f, 2, 0, 2, 0}, // X up, but not past the extent
        {3, 1, 0.9f, 1.75f, 2, 3, 2, 3},       // Z up: only the Z extent and Z speed change
        {1, 1, 0.7f, 1.75f, 2, 3, 2, 3},       // Z down from 3 to 2
    };
    Playing p;
    setLimits(p.state, 10, 10, 10, 5);
    for (const Step& step : steps) {
        setNote(p.state, step.speed, step.duration);
        p.platform.randomNumbers = {step.draw};
        planNote(p.state, p.platform);
        EXPECT_EQ(p.state.CurX, step.curX);
        EXPECT_EQ(p.state.HighX, step.highX);
        EXPECT_EQ(p.state.HighY, 0.0f);
        EXPECT_EQ(p.state.HighZ, step.highZ);
        EXPECT_EQ(p.state.TopXYSpeed, step.topXY);
        EXPECT_EQ(p.state.TopZSpeed, step.topZ);
    }
    EXPECT_EQ(p.state.CurZ, 2.0f);
    EXPECT_EQ(p.lines().size(), 20u);
    EXPECT_EQ(p.lines()[1], "JS, 2");
    EXPECT_EQ(p.lines()[13], "JS,, 3");
}

TEST(NotePlanner, NoRoomAfterSixDrawsWritesNothingAndSaysSo) {
    Playing p;
    // X and Y are too short and Z is closed to this fast note.
    setLimits(p.state, 1, 1, 10, 2);
    setNote(p.state, 3, 0.5f);
    p.state.CurX = 0.25f;
    p.state.HighX = 0.25f;
    p.state.TopXYSpeed = 1;
    p.journal->str("PAUSE, .3\r\n");
    p.journal->seekp(0, std::ios::end);
    p.platform.randomNumbers = {0.0f, 0.2f, 0.8f, 0.9f, 0.0f, 0.7f, 0.5f};
    const auto before = placedValues(p.state);

    EXPECT_EQ(planNote(p.state, p.platform), NoteOutcome::NoRoom);

    EXPECT_EQ(p.platform.randomNumbers.size(), 1u);
    EXPECT_EQ(p.state.MoveChoice, 5);
    EXPECT_EQ(p.platform.calls, std::vector<std::string>(6, "randomNumber")); // no message box
    EXPECT_EQ(p.text(), "PAUSE, .3\r\n");
    EXPECT_EQ(placedValues(p.state), before);
}

TEST(NotePlanner, APlacedMoveIsOnDiskBeforeTheJournalCloses) {
    const test::ScratchFolder scratch;
    const auto path = scratch.path() / "tune.txt";
    ProgramState state;
    FakePlatform platform;
    state.TuneStream.open(path);
    setLimits(state, 10, 10, 10, 2);
    setNote(state, 1, 1);
    platform.randomNumbers = {0.0f};

    planNote(state, platform);

    EXPECT_EQ(test::readFile(path), "\r\nJS, 1\r\n' note duration = 1\r\nJ3, 1.000\r\n");
    state.TuneStream.close();
}

struct FaultCase {
    const char* name;
    float speed, duration, maxX, draw;
    const char* message;
};

const float infinity = std::numeric_limits<float>::infinity();
const float notANumber = std::numeric_limits<float>::quiet_NaN();

const FaultCase faultCases[] = {
    {"SpeedNotANumber", notANumber, 1, 10, 0.0f, "Overflow in the note planner"},
    {"SpeedInfinite", infinity, 1, 10, 0.0f, "Overflow in the note planner"},
    {"DurationInfiniteTimesZero", 0, infinity, 10, 0.0f, "Overflow in the note planner"},
    {"CandidateBeyondSingleRange", 3e38f, 2, infinity, 0.2f, "Overflow in the note planner"},
    {"RandomNumberOne", 1, 1, 10, 1.0f, "The random source gave"},
    {"RandomNumberNotANumber", 1, 1, 10, notANumber, "The random source gave"},
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class PlannerFault : public testing::TestWithParam<FaultCase> {};

TEST_P(PlannerFault, ThrowsAndLeavesStateAndJournalAlone) {
    const FaultCase& c = GetParam();
    Playing p;
    setLimits(p.state, c.maxX, 10, 10, 2);
    setNote(p.state, c.speed, c.duration);
    p.state.MoveChoice = 3;
    p.platform.randomNumbers = {c.draw};
    const auto before = placedValues(p.state);
    try {
        planNote(p.state, p.platform);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()).rfind(c.message, 0), 0u) << failure.what();
    }
    EXPECT_EQ(p.text(), "");
    EXPECT_EQ(p.state.MoveChoice, 3);
    EXPECT_EQ(placedValues(p.state), before);
    EXPECT_TRUE(p.platform.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(NotePlanner, PlannerFault, testing::ValuesIn(faultCases),
                         [](const auto& info) { return std::string(info.param.name); });
