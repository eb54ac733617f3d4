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

/// A key pressed at the clock reading `at`, as the window's key adapter does.
void press(Playing& p, double at) {
    startNote(p.state, pressedAt(p.state, at));
}

/// Key `key` released at the clock reading `at`.
NoteOutcome release(Playing& p, int key, double at) {
    return endNote(p.state, p.platform, releasedAt(p.state, at), keySpeeds(p.state, key));
}

/// Presses key `key` at `pressAt` and releases it at `releaseAt` (both clock readings).
NoteOutcome play(Playing& p, int key, double pressAt, double releaseAt) {
    press(p, pressAt);
    return release(p, key, releaseAt);
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

TEST(NoteCapture, EachKeyHasItsSoundFile) {
    EXPECT_EQ(soundPath("/fake/program/notes", 7),
              std::filesystem::path("/fake/program/notes/7.wav"));
}

TEST(NoteCapture, ReleaseTimesTheNoteAndPlansIt) {
    Playing p;
    commitSettings(p.state, 1);
    press(p, 100.0);
    EXPECT_EQ(p.state.NoteStart, 100.0);
    p.platform.randomNumbers = {0.2f};
    EXPECT_EQ(release(p, 24, 100.523), NoteOutcome::Placed);

    EXPECT_EQ(p.state.NoteEnd, 100.523);
    EXPECT_EQ(p.state.NoteDuration, 0.523f);
    EXPECT_EQ(p.state.NoteSpeed, 1.463f);
    EXPECT_EQ(p.state.PauseMode, 2);
    EXPECT_EQ(p.text(), "\r\nJS, 1.463\r\n' note duration = 0.523\r\nJ3, .765\r\n");
    EXPECT_EQ(p.platform.calls, std::vector<std::string>{"randomNumber"}); // nothing else used
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
        press(p, row.nextPressAt);
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
    press(p, 12);
    press(p, 12.5);
    release(p, 5, 13);
    EXPECT_EQ(p.state.NoteDuration, 0.5f);
    release(p, 5, 14);
    EXPECT_EQ(p.state.NoteDuration, 1.5f);

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
    EXPECT_EQ(play(p, 36, 11, 12), NoteOutcome::NoRoom);
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
        EXPECT_THROW(keySpeeds(p.state, key), Failure);
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
        double releaseAt;
        const char* message;
    } table[] = {
        {"speed beyond single range", 1e38f, 36, 12, "Overflow in note capture"},
        {"clock not a number", 1, 0, nan, "Overflow in note capture"},
        {"distance beyond single range", 3e38f, 0, 12, "Overflow in the note planner"},
    };
    for (const auto& row : table) {
        Playing p;
        commitSettings(p.state, 1);
        p.state.MaxX = p.state.MaxY = std::numeric_limits<float>::infinity();
        p.state.BaseSpeed = row.baseSpeed;
        press(p, 10);

        EXPECT_FALSE(runGuarded(p.platform, [&] { release(p, row.key, row.releaseAt); }));

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
    auto playNote = [&](int key, double at) {
        runGuarded(platform, [&] { startNote(state, pressedAt(state, at)); });
        return runGuarded(platform, [&] {
            endNote(state, platform, releasedAt(state, at + 0.5), keySpeeds(state, key));
        });
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

    state.TuneStream.close();
    finalisePartFile(tune, scratch.path(), headerValues(state));
    const auto lines = test::crlfLines(test::readFile(tune));
    ASSERT_EQ(lines.size(), 36u + 4 + 1);
    EXPECT_EQ(lines[33].rfind("JS,", 0), 0u);
    EXPECT_EQ(lines[36], "PAUSE, 1.5");
}
