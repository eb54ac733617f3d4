// SPDX-License-Identifier: MIT
// The LinuxCNC player and jogs against LinuxCNC's simulation, through linuxcncrsh over the Qt TCP
// link. Run by linuxcncrsh.sh, which starts the simulation in E-stop and gives its port and a
// folder LinuxCNC reads programs from: CHIMEX_LINUXCNCRSH_PORT, CHIMEX_SIM_FOLDER. The tests run
// in order: the first switches the machine on and homes it.
#include "link/linuxcnc_player.h"
#include "platform/link/qt_machine_links.h"
#include "sim_clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace chimex {
namespace {

/// A program in the simulation's folder: its absolute path and its lines.
struct Program {
    std::string path;
    std::vector<std::string> lines;
};

Program writeProgram(const std::string& name, const std::vector<std::string>& lines) {
    Program program{environment("CHIMEX_SIM_FOLDER") + "/" + name, lines};
    std::ofstream file(program.path, std::ios::binary);
    for (const auto& line : lines) {
        file << line << "\r\n";
    }
    return program;
}

struct Connected {
    QtMachineLinks links;
    std::unique_ptr<MachineLink> link = links.open(simulationAddress());
    LinuxcncPlayer player;

    explicit Connected(std::string programPath = {}) : player(*link, options(programPath)) {}
    static LinuxcncPlayerOptions options(std::string programPath) {
        LinuxcncPlayerOptions options;
        options.programPath = std::move(programPath);
        return options;
    }
    LinuxcncSession& session() { return player.session(); }

    std::string refusalOfStart() {
        try {
            player.start(in(5));
        } catch (const MachineStopped& refusal) {
            return refusal.what();
        }
        return {};
    }
    Clock::time_point lastMoved; ///< when standingStill() last saw the position change
    /// Waits until the position stays the same for 20 ms.
    AxisValues standingStill() {
        AxisValues last = session().position(in(2));
        for (lastMoved = Clock::now(); Clock::now() - lastMoved < std::chrono::milliseconds(20);) {
            session().wait(in(0.001));
            if (const auto now = session().position(in(2)); now != last) {
                last = now;
                lastMoved = Clock::now();
            }
        }
        return last;
    }
};

/// Resumes at every pause, or asks to stop after `stopAfterPolls` polls.
struct Watcher : PlayWatcher {
    std::vector<std::uint64_t> progressed;
    std::vector<std::string> pauses;
    int stopAfterPolls = -1;

    void progress(std::uint64_t lines) override { progressed.push_back(lines); }
    bool paused(std::string_view what) override {
        pauses.emplace_back(what);
        return true;
    }
    bool stopAsked() override { return stopAfterPolls >= 0 && stopAfterPolls-- == 0; }
};

TEST(LinuxcncSimulation, StartRefusesUntilTheMachineIsOnAndHomedSayingWhatToDo) {
    Connected connected;
    LinuxcncSession& session = connected.session();
    // LinuxCNC's state follows a command a little later, as an operator would see it.
    const auto until = [&](const std::function<bool()>& done, const char* what) {
        for (const auto deadline = in(10); !done(); session.wait(in(0.01))) {
            ASSERT_LT(Clock::now(), deadline) << what << ": " << session.error(in(2));
        }
    };
    EXPECT_NE(connected.refusalOfStart().find("LinuxCNC is in E-stop: release it"),
              std::string::npos);
    session.set("estop off", in(2));
    until([&] { return !session.estop(in(2)); }, "E-stop off");
    EXPECT_NE(connected.refusalOfStart().find("LinuxCNC's machine is off: switch it on"),
              std::string::npos);
    session.set("machine on", in(2));
    until([&] { return session.machineOn(in(2)); }, "machine on");
    EXPECT_EQ(connected.refusalOfStart(),
              "LinuxCNC's machine is not homed (joint 0, 1 and 2): home it in LinuxCNC's own "
              "screen (Ctrl+Home in AXIS), then play again");
    session.set("mode manual", in(2));
    until([&] { return session.mode(in(2)) == LinuxcncMode::Manual; }, "manual mode");
    session.set("home -1", in(2));
    until(
        [&] {
            return session.jointsHomed(in(2)) ==
                   std::vector<bool>{true, true, true, false, false, false};
        },
        "homing");
    EXPECT_EQ(connected.refusalOfStart(), "");
}

TEST(LinuxcncSimulation, PlaysAProgramThroughItsStopToItsEnd) {
    const Program program =
        writeProgram("stop.ngc", {"G21 G90 G94 G61.1", "G1 X5 F600", "(Check the extents.)", "M0",
                                  "G1 Y3 F1200", "G1 Z2", "G1 X10 Y2 Z0.5 F1800", "M2"});
    Connected connected(program.path);
    EXPECT_EQ(connected.player.start(in(5)), "");
    Watcher watcher;
    connected.player.play(program.lines, watcher);
    EXPECT_EQ(watcher.pauses,
              std::vector<std::string>{
                  "LinuxCNC paused the program (its stop, M0) and waits to be resumed"});
    ASSERT_FALSE(watcher.progressed.empty());
    EXPECT_TRUE(std::is_sorted(watcher.progressed.begin(), watcher.progressed.end()));
    EXPECT_EQ(watcher.progressed.back(), program.lines.size());
    const AxisValues end = connected.session().position(in(2));
    EXPECT_NEAR(end[0], 10, 1e-3);
    EXPECT_NEAR(end[1], 2, 1e-3);
    EXPECT_NEAR(end[2], 0.5, 1e-3);
}

TEST(LinuxcncSimulation, StopsAtLinuxcncsErrorsAndWhenAskedNamingWhy) {
    const auto stopped = [](const Program& program, Watcher watcher = {}) -> std::string {
        Connected connected(program.path);
        connected.player.start(in(5));
        try {
            connected.player.play(program.lines, watcher);
        } catch (const MachineStopped& stop) {
            EXPECT_EQ(connected.session().programStatus(in(2)), LinuxcncProgramStatus::Idle);
            return stop.what();
        }
        return {};
    };
    EXPECT_EQ(stopped(writeProgram("limit.ngc", {"G21 G90", "G1 X5 F600", "G1 X2000", "M2"})),
              "LinuxCNC stopped the program: Linear move on line 3 would exceed X's positive "
              "limit");
    const std::string missing = stopped({environment("CHIMEX_SIM_FOLDER") + "/missing.ngc", {}});
    EXPECT_TRUE(missing.starts_with("LinuxCNC could not open ")) << missing;
    EXPECT_NE(missing.find("it must be readable there, at that path"), std::string::npos);
    Watcher stopSoon;
    stopSoon.stopAfterPolls = 3;
    // play() returns with the program running; stop() aborts it.
    const Program longer = writeProgram("long.ngc", {"G21 G90", "G1 X50 F600", "M2"});
    Connected connected(longer.path);
    connected.player.start(in(5));
    connected.player.play(longer.lines, stopSoon);
    EXPECT_EQ(connected.session().programStatus(in(2)), LinuxcncProgramStatus::Running);
    connected.player.stop();
    EXPECT_EQ(connected.session().programStatus(in(2)), LinuxcncProgramStatus::Idle);
}

TEST(LinuxcncSimulation, JogsBySetDistancesRenewedWithoutAStop) {
    Connected connected;
    connected.player.start(in(5));
    LinuxcncSession& session = connected.session();
    session.set("mode manual", in(2));
    const AxisValues start = connected.standingStill();
    const auto asked = Clock::now();
    session.jogIncrement('X', 20, 2, in(2));
    while (session.position(in(2))[0] == start[0]) {
        ASSERT_LT(Clock::now() - asked, std::chrono::seconds(1)) << "the jog did not start";
    }
    std::printf("jog seen under way %.1f ms after it was asked\n",
                std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
    session.jogIncrement('X', 20, 1, in(2)); // moves the target on, from the old target
    EXPECT_NEAR(connected.standingStill()[0], start[0] + 3, 1e-4);
    session.jogIncrement('Y', 10, -1, in(2));
    EXPECT_NEAR(connected.standingStill()[1], start[1] - 1, 1e-4);
    session.jogIncrement('X', 20, 50, in(2));
    session.wait(in(0.05));
    const auto stopAsked = Clock::now();
    session.jogStop('X', in(2));
    const double stoppedAt = connected.standingStill()[0];
    std::printf("standing still %.1f ms after the stop was asked (20 mm/s at 500 mm/s²: 40 ms)\n",
                std::chrono::duration<double, std::milli>(connected.lastMoved - stopAsked).count());
    EXPECT_GT(stoppedAt, start[0] + 3);
    EXPECT_LT(stoppedAt, start[0] + 6); // 50 ms and the ramps, not 50 mm
}

} // namespace
} // namespace chimex
