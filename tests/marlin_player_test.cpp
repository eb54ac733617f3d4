// SPDX-License-Identifier: MIT
// MarlinPlayer and its session against the fake Marlin on a fake link's simulated time.
#include "fake_marlin.h"
#include "link/marlin_player.h"
#include "machine/machine_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

namespace chimex {
namespace {

/// Records what the player tells, and answers the pause as told.
struct Watcher : PlayWatcher {
    std::vector<std::uint64_t> progressed;
    std::vector<std::string> pauses;
    std::function<bool(std::size_t pause)> resume = [](std::size_t) {
        return true;
    };
    std::function<void(std::uint64_t)> onProgress = [](std::uint64_t) {
    };
    bool stop = false;
    std::function<bool()> stopWhen = [] {
        return false;
    };

    void progress(std::uint64_t lines) override {
        progressed.push_back(lines);
        onProgress(lines);
    }
    bool paused(std::string_view what) override {
        pauses.emplace_back(what);
        return resume(pauses.size());
    }
    bool stopAsked() override { return stop || stopWhen(); }
};

/// A short tune as our Marlin files write it: header comments, G90, the stop, notes, rests.
std::vector<std::string> tune() {
    std::vector<std::string> lines{"; chimex tune", "G90", "; check the extents, then go on", "M0",
                                   "G0 X0 Y0 Z0"};
    for (int i = 1; i <= 30; ++i) {
        lines.push_back("G1 " + std::string(i % 3 == 0 ? "Y" : "X") + std::to_string(i % 7) +
                        ".5 F" + std::to_string(600 + 40 * i) + " ; note " + std::to_string(i));
        if (i % 10 == 0) {
            lines.push_back("G4 P250");
        }
    }
    lines.push_back("; End of the song.");
    return lines;
}

/// The commands of `lines` as Marlin should take them, in order.
std::vector<std::string> commandsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> commands;
    for (const auto& line : lines) {
        if (!marlinCommand(line).empty()) {
            commands.emplace_back(marlinCommand(line));
        }
    }
    return commands;
}

struct OnFakeMarlin {
    FakeMachineLink link;
    FakeMarlin marlin;
    MarlinPlayer player{link};
    Watcher watcher;

    explicit OnFakeMarlin(FakeMarlinMachine machine = {}) : marlin(machine, link.time) {
        link.peer = &marlin;
    }
    std::string start() { return player.start(link.time + std::chrono::seconds(5)); }
    /// The message of the failure playing `lines` throws, empty when it throws none.
    template <typename Thrown> std::string playFailure(const std::vector<std::string>& lines) {
        try {
            player.play(lines, watcher);
        } catch (const Thrown& failure) {
            return failure.what();
        }
        return {};
    }
    /// What stop() says once play() returned early, the user having asked to stop.
    std::string stoppedAsAsked(const std::vector<std::string>& lines) {
        player.play(lines, watcher);
        EXPECT_FALSE(marlin.killed()) << "play() stopped the machine itself";
        return player.stop();
    }
    /// What Marlin took of the program: its commands after M110 and M503, M108 left out.
    std::vector<std::string> taken() const {
        std::vector<std::string> lines;
        for (const auto& line : marlin.linesTaken()) {
            if (line != "M110 N0" && line != "M503" && line != "M108") {
                lines.push_back(line);
            }
        }
        return lines;
    }
};

TEST(MarlinPlayer, PlaysEveryLineOnceInOrderToTheEndOfItsMoves) {
    struct Row {
        const char* name;
        FakeMarlinMachine machine;
        int resends;
    };
    FakeMarlinMachine advanced, corrupt, corruptAdvanced;
    advanced.advancedOk = corruptAdvanced.advancedOk = true;
    corrupt.corruptLine = 12;
    corruptAdvanced.corruptLine = 3; // the M0, while the planner is still empty
    // A damaged line is refused, and so are the two sent after it: one resend, no more.
    for (const Row& row : {Row{"plain ok", {}, 0}, Row{"ADVANCED_OK", advanced, 0},
                           Row{"a damaged line", corrupt, 3},
                           Row{"a damaged line, ADVANCED_OK", corruptAdvanced, 3}}) {
        SCOPED_TRACE(row.name);
        OnFakeMarlin on(row.machine);
        on.start();
        const auto lines = tune();
        // Progress counts only lines whose moves have ended.
        on.watcher.onProgress = [&](std::uint64_t played) {
            const auto end = lines.begin() + std::ptrdiff_t(played);
            EXPECT_GE(on.marlin.movesDone(),
                      std::count_if(lines.begin(), end, [](const std::string& line) {
                          return line.starts_with("G1");
                      }));
        };
        on.player.play(lines, on.watcher);
        auto expected = commandsOf(lines);
        expected.push_back("M400");
        EXPECT_EQ(on.taken(), expected);
        EXPECT_EQ(on.marlin.resendsAsked(), row.resends);
        EXPECT_EQ(on.marlin.bytesLost(), 0u);
        EXPECT_FALSE(on.marlin.moving()); // M400 answered: every move done
        EXPECT_NEAR(on.marlin.position()[0], 1.5, 1e-9);
        EXPECT_EQ(on.watcher.pauses,
                  std::vector<std::string>{"Marlin waits at the program's stop (M0) for its user"});
        ASSERT_FALSE(on.watcher.progressed.empty());
        EXPECT_TRUE(std::is_sorted(on.watcher.progressed.begin(), on.watcher.progressed.end()));
        EXPECT_EQ(on.watcher.progressed.back(), lines.size());
        EXPECT_GT(on.watcher.progressed.size(), 3u); // as it plays, not only at its end
    }
}

TEST(MarlinPlayer, StartReadsTheM503ReportAsMachineSettings) {
    // A board that restarts as its port opens hears nothing until it says `start`.
    FakeMarlinMachine resetOnOpen;
    resetOnOpen.bootTime = std::chrono::milliseconds(1500);
    for (const bool restarts : {false, true}) {
        SCOPED_TRACE(restarts);
        OnFakeMarlin on(resetOnOpen);
        if (restarts) {
            on.marlin.restart();
        }
        std::istringstream report(on.start());
        const MachineSettings settings = readMachineSettings(report, "Marlin");
        EXPECT_EQ(settings.controller, GcodeDialect::Marlin);
        EXPECT_EQ(settings.axis(Axis::X).stepsPerUnit, 80);
        EXPECT_EQ(settings.axis(Axis::Z).fastestSpeed, 5);
        EXPECT_EQ(settings.axis(Axis::Y).accel, 2000);
        EXPECT_EQ(settings.junctionDeviation, 0.08);
    }
    OnFakeMarlin silent;
    silent.link.silent = true;
    try {
        silent.start();
        ADD_FAILURE() << "a silent link started";
    } catch (const LinkFailure& failure) {
        EXPECT_STREQ(failure.what(), "Marlin did not answer M110: is Marlin at the other end, at "
                                     "the baud rate given?");
    }
}

TEST(MarlinPlayer, WithoutItsEmergencyParserThePauseAsksForItsButton) {
    FakeMarlinMachine machine;
    machine.emergencyParser = false;
    OnFakeMarlin on(machine);
    on.start();
    on.watcher.resume = [&](std::size_t pause) {
        if (pause == 2) {
            on.marlin.pressButton();
        }
        return true;
    };
    on.player.play(tune(), on.watcher);
    ASSERT_EQ(on.watcher.pauses.size(), 2u);
    EXPECT_EQ(on.watcher.pauses[1], "Marlin did not take M108 (it is built without its emergency "
                                    "parser): press the button on its display to go on");
    EXPECT_EQ(on.taken().size(), commandsOf(tune()).size() + 1);
}

TEST(MarlinPlayer, StopsNamingWhatHappened) {
    struct Row {
        const char* name;
        std::function<void(OnFakeMarlin&)> fault;
        const char* message;
        bool asked = false; ///< play() returns early, and stop() stops the machine
    };
    const Row rows[] = {
        {"a thermal fault kills it", [](OnFakeMarlin& on) { on.marlin.kill(); },
         "Marlin halted (killed): it must be reset, its reset button or a power cycle, and homed "
         "again"},
        {"its reset button", [](OnFakeMarlin& on) { on.marlin.restart(); },
         "Marlin restarted (its reset button, a power dip or another program): it dropped the "
         "lines it held and lost its position"},
        {"Ctrl+C while lines wait in its queue", [](OnFakeMarlin& on) { on.watcher.stop = true; },
         "Marlin was halted (M112) to stop the lines it still held, its motors off: reset it (its "
         "reset button or a power cycle), then home the machine again before playing",
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OnFakeMarlin on;
        on.start();
        on.watcher.onProgress = [&](std::uint64_t lines) {
            if (lines >= 10) {
                row.fault(on);
            }
        };
        EXPECT_EQ(row.asked ? on.stoppedAsAsked(tune()) : on.playFailure<MachineStopped>(tune()),
                  row.message);
        EXPECT_LT(on.taken().size(), commandsOf(tune()).size());
    }
    OnFakeMarlin refused;
    refused.start();
    EXPECT_EQ(refused.playFailure<MachineStopped>({"G90", "G65 X1", "G1 X1 F600"}),
              "Marlin does not know the command \"G65 X1\": the program stops there");
}

TEST(MarlinPlayer, AStopWithNoMoveQueuedIsAQuickStopElseAKill) {
    OnFakeMarlin idle;
    idle.start();
    idle.watcher.stopWhen = [&] {
        return idle.marlin.linesTaken().back() == "M400";
    };
    EXPECT_EQ(idle.stoppedAsAsked({"G90", "G1 X50 F600"}),
              "Marlin stopped its moves at once, without slowing down, so its motors may have "
              "slipped: home the machine again before playing");
    EXPECT_FALSE(idle.marlin.killed());
    EXPECT_FALSE(idle.marlin.moving());
    EXPECT_LT(idle.marlin.position()[0], 50);

    OnFakeMarlin paused;
    paused.start();
    paused.watcher.resume = [](std::size_t) {
        return false;
    };
    EXPECT_NE(paused.stoppedAsAsked(tune()).find("halted (M112)"), std::string::npos);
    EXPECT_TRUE(paused.marlin.killed());
    EXPECT_EQ(paused.marlin.position()[0], 0);
}

TEST(MarlinPlayer, ALinkLostOrSilentIsALinkFailureBusyLinesAreNot) {
    OnFakeMarlin on;
    on.start();
    on.link.cutAfterBytes = on.link.written.size() + 300;
    EXPECT_EQ(on.playFailure<LinkFailure>(tune()), "the link to the fake controller was lost");
    EXPECT_TRUE(on.marlin.moving());

    // A dwell of two minutes: answered late, alive while Marlin says it is busy.
    const std::vector<std::string> longWait{"G90", "G4 P120000", "G1 X1 F600"};
    OnFakeMarlin busy;
    busy.start();
    EXPECT_EQ(busy.playFailure<LinkFailure>(longWait), "");
    FakeMarlinMachine quiet;
    quiet.keepAlive = std::chrono::hours(1);
    OnFakeMarlin silent(quiet);
    silent.start();
    EXPECT_EQ(silent.playFailure<LinkFailure>(longWait),
              "Marlin did not answer in time (waiting for the answers to the lines sent)");
}

} // namespace
} // namespace chimex
