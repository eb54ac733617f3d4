// SPDX-License-Identifier: MIT
#include "core/note_capture.h"
#include "core/run_guarded.h"
#include "files/failure.h"
#include "partfile/finaliser.h"
#include "playing_fixture.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <limits>

#include <sys/resource.h>

using namespace chimex;
using chimex::test::Playing;

namespace {

/// Settings as committed from the dialog's initial values: MaxXYSpeed 3, room on every axis.
void commitSettings(ProgramState& s, std::int32_t pauseMode) {
    s.MaxX = s.MaxY = s.MaxZ = 100;
    s.MaxXYSpeed = 3;
    s.MaxZSpeed = 3;
    s.BaseSpeed = baseSpeedFor(3);
    s.PauseMode = pauseMode;
}

/// Presses key `key` at `pressAt` and releases it at `releaseAt` (both clock readings).
void play(Playing& p, int key, double pressAt, double releaseAt) {
    p.platform.clockReadings.push_back(pressAt);
    keyPress(p.state, p.platform, key);
    p.platform.clockReadings.push_back(releaseAt);
    p.platform.clockReadings.push_back(releaseAt);
    keyRelease(p.state, p.platform, key);
}

long pauseLines(const Playing& p) {
    const auto lines = p.lines();
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.rfind("PAUSE, ", 0) == 0; });
}

} // namespace

TEST(KeySpeed, RisesBySemitonesFromBaseSpeed) {
    const float baseSpeed = static_cast<float>(3 / 8.2);
    const struct {
        int key;
        float speed;
    } table[] = {{0, 0.366f}, {1, 0.388f}, {12, 0.732f}, {24, 1.463f}, {36, 2.927f}};
    for (const auto& row : table) {
        EXPECT_EQ(keySpeed(baseSpeed, row.key), row.speed) << row.key;
    }
}

TEST(NoteCapture, PressLoopsTheKeysSoundAndReleaseStopsIt) {
    EXPECT_EQ(soundPath("/fake/program/notes", 7),
              std::filesystem::path("/fake/program/notes/7.wav"));
    Playing p;
    commitSettings(p.state, 1);
    play(p, 36, 10, 10.5);
    ASSERT_EQ(p.platform.soundsStarted.size(), 1u);
    EXPECT_EQ(p.platform.soundsStarted[0], p.platform.folder / "notes" / "36.wav");
    EXPECT_EQ(p.platform.soundStops, 1);
    EXPECT_FALSE(p.platform.soundPlaying);
}

TEST(NoteCapture, ReleaseTimesTheNoteAndPlansIt) {
    Playing p;
    commitSettings(p.state, 1);
    p.platform.clockReadings = {100.0};
    keyPress(p.state, p.platform, 24);
    EXPECT_EQ(p.state.NoteStart, 100.0);
    p.platform.clockReadings = {100.5, 100.523};
    p.platform.randomNumbers = {0.2f};
    keyRelease(p.state, p.platform, 24);

    EXPECT_EQ(p.state.NoteEnd, 100.5);
    EXPECT_EQ(p.state.NoteDuration, 0.523f); // to the second reading, not to NoteEnd
    EXPECT_EQ(p.state.NoteSpeed, 1.463f);
    EXPECT_EQ(p.state.PauseMode, 2);
    EXPECT_EQ(p.text(), "\r\nJS, 1.463\r\n' note duration = 0.523\r\nJ3, .765\r\n");

    // Given the events' own times, no clock is read and the duration runs to the release's time.
    p.platform.failing = {"clock"};
    p.platform.randomNumbers = {0.2f};
    keyPressAt(p.state, p.platform, 24, 101.25);
    keyReleaseAt(p.state, p.platform, 24, 101.5);
    EXPECT_EQ(p.state.PauseLength, 0.75f);
    EXPECT_EQ(p.state.NoteEnd, 101.5);
    EXPECT_EQ(p.state.NoteDuration, 0.25f);
}

TEST(NoteCapture, DurationAndPauseAreClockDifferencesInDoublePrecision) {
    const struct {
        const char* name;
        double pressAt, releaseAt, nextPressAt;
        float duration, pause;
        const char* pauseLine;
    } table[] = {
        // A single-precision clock moves in steps of 1/128 s late in the day and would give 0.523.
        {"early", 1, 1.5236, 2.0236, 0.524f, 0.5f, "PAUSE, .5"},
        {"noon", 43200, 43200.5236, 43201.0236, 0.524f, 0.5f, "PAUSE, .5"},
        {"late", 86398, 86398.5236, 86399.0236, 0.524f, 0.5f, "PAUSE, .5"},
        // Rounded first to 7 digits (0.1235000) the duration would become 0.124; a pause of
        // 0.2496 written without its three-decimal rounding would be .2.
        {"duration from its double value", 1, 1.12349998, 2.12349998, 0.123f, 1, "PAUSE, 1.0"},
        {"pause rounded to three decimals before it is written", 99, 100, 100.2496, 1, 0.25f,
         "PAUSE, .3"},
        {"midnight during the note", 86399.8, 0.3, 1, 0.5f, 0.7f, "PAUSE, .7"},
        {"midnight during the pause", 86399.2, 86399.9, 0.2, 0.7f, 0.3f, "PAUSE, .3"},
    };
    for (const auto& row : table) {
        Playing p;
        commitSettings(p.state, 1);
        play(p, 0, row.pressAt, row.releaseAt);
        EXPECT_EQ(p.state.NoteDuration, row.duration) << row.name;
        p.platform.clockReadings = {row.nextPressAt};
        keyPress(p.state, p.platform, 0);
        EXPECT_EQ(p.state.PauseLength, row.pause) << row.name;
        EXPECT_EQ(p.lines().back(), row.pauseLine) << row.name;
    }
}

TEST(NoteCapture, PausesOnlyInPauseModeAndNeverBeforeTheFirstNote) {
    const struct {
        std::int32_t mode;
        long pauses;
        std::int32_t modeAfter;
    } table[] = {{-1, 0, -1}, {0, 0, 0}, {1, 2, 2}};
    for (const auto& row : table) {
        Playing p;
        commitSettings(p.state, row.mode);
        play(p, 0, 10, 11);
        play(p, 12, 11.5, 12);
        play(p, 24, 13, 14);
        EXPECT_EQ(pauseLines(p), row.pauses) << row.mode;
        EXPECT_EQ(p.state.PauseMode, row.modeAfter) << row.mode;
        EXPECT_EQ(p.lines().at(0), "") << row.mode;
        EXPECT_EQ(p.lines().size(), 12u + static_cast<std::size_t>(row.pauses)) << row.mode;
    }
}

TEST(NoteCapture, SecondPressOnAHeldKeyRestartsTheNote) {
    Playing p;
    commitSettings(p.state, 1);
    play(p, 5, 10, 11);
    p.platform.clockReadings = {12, 12.5, 13, 13, 14, 14};
    keyPress(p.state, p.platform, 5);
    keyPress(p.state, p.platform, 5);
    keyRelease(p.state, p.platform, 5);
    EXPECT_EQ(p.state.NoteDuration, 0.5f);
    keyRelease(p.state, p.platform, 5);
    EXPECT_EQ(p.state.NoteDuration, 1.5f);

    EXPECT_EQ(p.platform.soundsStarted.size(), 3u);
    const auto lines = p.lines();
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[4], "PAUSE, 1.0");
    EXPECT_EQ(lines[5], "PAUSE, 1.5"); // both gaps from the last release
    EXPECT_EQ(lines[8], "' note duration = 0.5");
    EXPECT_EQ(lines[12], "' note duration = 1.5");
}

TEST(NoteCapture, RefusedNoteLeavesItsPauseLineLast) {
    Playing p;
    commitSettings(p.state, 1);
    play(p, 36, 10, 10.5);
    p.state.MaxX = p.state.MaxY = p.state.MaxZ = 1;
    play(p, 36, 11, 12);
    EXPECT_EQ(p.platform.endPlayingCalls, 1);
    EXPECT_EQ(p.lines().back(), "PAUSE, .5");
    EXPECT_EQ(p.lines().size(), 5u);
}

TEST(NoteCapture, SameNotesInAFreshRunGiveTheSameMoves) {
    const auto playTune = [](double startOfDay) {
        Playing p;
        commitSettings(p.state, 1);
        const struct {
            int key;
            double hold, gap;
        } notes[] = {{0, 0.4, 0.3}, {7, 0.75, 0.1}, {12, 1.2, 0.5}, {36, 0.25, 0.3}, {19, 2, 0}};
        double t = startOfDay;
        for (const auto& note : notes) {
            play(p, note.key, t, t + note.hold);
            t += note.hold + note.gap;
        }
        return p.text();
    };
    const std::string first = playTune(1000);
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 24);
    EXPECT_EQ(playTune(1000), first);
    EXPECT_EQ(playTune(86000), first);
}

TEST(NoteCapture, RejectsKeysOutsideTheKeyboard) {
    Playing p;
    commitSettings(p.state, 1);
    for (const int key : {-1, keyCount}) {
        EXPECT_THROW(keyPress(p.state, p.platform, key), Failure);
        EXPECT_THROW(keyRelease(p.state, p.platform, key), Failure);
    }
    EXPECT_TRUE(p.platform.calls.empty());
}

TEST(RunGuarded, ReportsAnyFailureThroughThePlatform) {
    FakePlatform platform;
    EXPECT_TRUE(runGuarded(platform, [] {}));
    EXPECT_FALSE(runGuarded(platform, [] { throw Failure("Overflow in note capture: test"); }));
    EXPECT_FALSE(runGuarded(platform, [] { throw 42; }));
    ASSERT_EQ(platform.failuresReported.size(), 2u);
    EXPECT_EQ(platform.failuresReported[0], "Overflow in note capture: test");
    EXPECT_EQ(platform.failuresReported[1], "An unknown failure ended the program");
}

TEST(RunGuarded, ArithmeticFaultsWriteAndStoreNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char* name;
        float baseSpeed;
        int key;
        std::vector<double> releaseClock;
        const char* message;
    } table[] = {
        {"speed beyond single range", 1e38f, 36, {12, 12}, "Overflow in note capture"},
        {"clock not a number", 1, 0, {nan, nan}, "Overflow in note capture"},
        {"distance beyond single range", 3e38f, 0, {12, 12}, "Overflow in the note planner"},
    };
    for (const auto& row : table) {
        Playing p;
        commitSettings(p.state, 1);
        p.state.MaxX = p.state.MaxY = std::numeric_limits<float>::infinity();
        p.state.BaseSpeed = row.baseSpeed;
        p.platform.clockReadings = {10};
        keyPress(p.state, p.platform, row.key);
        p.platform.clockReadings.assign(row.releaseClock.begin(), row.releaseClock.end());

        EXPECT_FALSE(runGuarded(p.platform, [&] { keyRelease(p.state, p.platform, row.key); }));

        ASSERT_EQ(p.platform.failuresReported.size(), 1u) << row.name;
        EXPECT_EQ(p.platform.failuresReported[0].rfind(row.message, 0), 0u)
            << row.name << ": " << p.platform.failuresReported[0];
        EXPECT_EQ(p.text(), "") << row.name;
        EXPECT_EQ(p.state.CurX + p.state.CurY + p.state.CurZ, 0.0f) << row.name;
        EXPECT_EQ(p.state.TopXYSpeed + p.state.TopZSpeed, 0.0f) << row.name;
    }
}

/// A disk that fills up while playing: no file may grow past `bytes` (writes beyond fail).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

  private:
    rlimit saved_{};
};

TEST(JournalWriteFailure, KeepsTheNotesBeforeItAndFinishesTheTuneFromThem) {
    const test::ScratchFolder scratch;
    const auto tune = scratch.path() / "tune.gxp";
    ProgramState state;
    FakePlatform platform;
    commitSettings(state, 1);
    state.TuneStream.open(tune);
    platform.onEndPlaying = [&] {
        state.TuneStream.close();
        finalisePartFile(tune, scratch.path(), headerValues(state));
    };
    auto playNote = [&](int key, double at) {
        platform.clockReadings = {at};
        runGuarded(platform, [&] { keyPress(state, platform, key); });
        platform.clockReadings = {at + 0.5, at + 0.5};
        return runGuarded(platform, [&] { keyRelease(state, platform, key); });
    };
    ASSERT_TRUE(playNote(12, 10));
    const std::string kept = test::readFile(tune);
    const auto placed = std::tuple(state.CurX, state.CurY, state.CurZ, state.HighX, state.HighY,
                                   state.HighZ, state.TopXYSpeed, state.TopZSpeed);
    {
        // Room for the pause line of the next note but not for its move block.
        const FileSizeLimit full(kept.size() + 16);
        EXPECT_FALSE(playNote(24, 12));
    }
    ASSERT_EQ(platform.failuresReported.size(), 1u);
    EXPECT_NE(platform.failuresReported[0].find("Cannot write to the tune file"), std::string::npos)
        << platform.failuresReported[0];
    EXPECT_NE(platform.failuresReported[0].find("kept whole"), std::string::npos);
    EXPECT_EQ(test::readFile(tune).rfind(kept + "PAUSE, ", 0), 0u);
    EXPECT_EQ(std::tuple(state.CurX, state.CurY, state.CurZ, state.HighX, state.HighY, state.HighZ,
                         state.TopXYSpeed, state.TopZSpeed),
              placed);

    platform.endPlaying();
    const auto lines = test::crlfLines(test::readFile(tune));
    ASSERT_EQ(lines.size(), 36u + 4 + 1);
    EXPECT_EQ(lines[33].rfind("JS,", 0), 0u);
    EXPECT_EQ(lines[36], "PAUSE, 1.5");
}
