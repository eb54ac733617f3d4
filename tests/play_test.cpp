// SPDX-License-Identifier: MIT
// chimex-cli play, and --machine LINK, against the fake GRBL on a fake link's simulated time.
#include "cli/command_line.h"
#include "fake_grbl.h"
#include "fake_marlin.h"
#include "link/grbl_player.h"
#include "link/marlin_session.h"
#include "scratch_folder.h"
#include "text_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <sstream>
#include <utility>

namespace chimex {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string link = "grbl:/dev/ttyFAKE";

/// A machine whose work zero is the low end of its travel, reporting its planner's fill.
FakeGrblMachine playingMachine() {
    FakeGrblMachine machine;
    machine.homing = false;
    machine.statusMask = 3;
    machine.workOffset = {-300, -200, -80};
    return machine;
}

class Play : public ::testing::Test {
  protected:
    void plug(const FakeGrblMachine& machine) {
        grbl = std::make_unique<FakeGrbl>(machine, links.link.time);
        links.link.peer = grbl.get();
    }
    void plug(const FakeMarlinMachine& machine) {
        marlin = std::make_unique<FakeMarlin>(machine, links.link.time);
        links.link.peer = marlin.get();
    }
    ExitStatus run(std::vector<std::string> args, const std::string& input = "") {
        out.str("");
        err.str("");
        in.str(input);
        in.clear();
        Console console{out, err, false};
        console.in = &in;
        console.links = &links;
        return runCommandLine(args, console);
    }
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }
    /// The score rendered for the machine plugged in, read from it through --machine LINK.
    std::string rendered(const std::string& score, const std::string& machine = link) {
        test::writeFile(path("song.txt"), score);
        test::writeFile(path("limits.ini"),
                        "MaxX = 250\nMaxY = 150\nMaxZ = 60\nMAxXYSpeed = 40\nMAxZSpeed = 8\n");
        EXPECT_EQ(run({"render", path("song.txt"), "-o", path("song.nc"), "--machine", machine,
                       "--steps-per-unit", "80", "--pause", "--settings", path("limits.ini")}),
                  ExitStatus::Done)
            << err.str();
        EXPECT_THAT(test::readFile(path("song.nc")), HasSubstr("Timed for acceleration X and Y "));
        return path("song.nc");
    }
    ExitStatus play(const std::string& file, std::vector<std::string> more = {},
                    const std::string& input = "", const std::string& machine = link) {
        std::vector<std::string> args{"play",  file,         "--machine",
                                      machine, "--settings", path("limits.ini")};
        args.insert(args.end(), more.begin(), more.end());
        return run(args, input);
    }
    std::size_t notesTaken() const {
        return std::size_t(
            std::count_if(grbl->linesTaken().begin(), grbl->linesTaken().end(),
                          [](const std::string& line) { return line.starts_with("G1"); }));
    }

    test::ScratchFolder folder;
    FakeMachineLinks links;
    std::unique_ptr<FakeGrbl> grbl;
    std::unique_ptr<FakeMarlin> marlin;
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
};

const std::string tune = "24 0.5\n26 0.5 0.1\n28 0.25\n24 1\n31 0.3 0.2\n29 0.4\n27 0.2\n"
                         "24 0.5 0.1\n26 0.5\n28 0.25 0.05\n24 1\n31 0.3\n29 0.4\n27 0.2 0.3\n"
                         "24 0.5\n26 0.5\n28 0.25\n24 1\n31 0.3\n29 0.4\n27 0.2\n36 0.6\n";

TEST_F(Play, PlaysATuneToTheEndWithinGrblsReceiveBuffer) {
    plug(playingMachine());
    const std::string file = rendered(tune);
    ASSERT_EQ(play(file, {"--yes"}), ExitStatus::Done) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("played to the end, 22 notes"));
    EXPECT_THAT(err.str(), HasSubstr("waits at the file's stop: Check the extents above"));
    EXPECT_THAT(err.str(), HasSubstr("never ran dry"));
    EXPECT_EQ(notesTaken(), 22u);
    EXPECT_EQ(grbl->linesTaken().back(), "M2");
    EXPECT_EQ(grbl->state(), "Idle");
    EXPECT_LE(grbl->peakReceived(), 128u);
    EXPECT_EQ(grbl->bytesLost(), 0u);
}

TEST_F(Play, WaitsForEnterAtTheFilesStop) {
    plug(playingMachine());
    const std::string file = rendered("24 0.5\n26 0.5\n");
    EXPECT_EQ(play(file, {}, "\n"), ExitStatus::Done) << err.str();
    EXPECT_THAT(err.str(), HasSubstr("Press Enter to resume"));
    EXPECT_EQ(play(file, {}, ""), ExitStatus::MachineRefused);
    EXPECT_THAT(err.str(), HasSubstr("not resumed at the file's stop"));
    EXPECT_THAT(err.str(), HasSubstr("home it again ($H)"));
    EXPECT_EQ(notesTaken(), 2u); // the first run's; none of the second
}

TEST_F(Play, PlaysOnMarlinEveryLineOnceAndStopsWhenNotResumed) {
    const std::string onMarlin = "marlin:/dev/ttyFAKE";
    plug(FakeMarlinMachine{});
    const std::string file = rendered(tune, onMarlin);
    ASSERT_EQ(play(file, {"--yes"}, "", onMarlin), ExitStatus::Done) << err.str();
    EXPECT_THAT(out.str(), HasSubstr("played to the end, 22 notes"));
    std::vector<std::string> commands;
    for (const std::string& line : test::crlfLines(test::readFile(file))) {
        if (const auto command = marlinCommand(line); !command.empty()) {
            commands.emplace_back(command);
        }
    }
    std::vector<std::string> taken;
    for (const std::string& line : marlin->linesTaken()) {
        if (line != "M110 N0" && line != "M503" && line != "M108" && line != "M400") {
            taken.push_back(line); // the program's commands, not the player's own
        }
    }
    EXPECT_EQ(taken, commands);
    EXPECT_EQ(marlin->bytesLost(), 0u);
    EXPECT_FALSE(marlin->moving());

    plug(FakeMarlinMachine{});
    EXPECT_EQ(play(file, {}, "", onMarlin), ExitStatus::MachineRefused);
    EXPECT_THAT(err.str(), HasSubstr("not resumed at the file's stop"));
    EXPECT_THAT(err.str(), HasSubstr("home the machine again"));
    EXPECT_FALSE(marlin->moving());
    EXPECT_EQ(marlin->position()[0], 0);
}

TEST_F(Play, AnAlarmStopsTheTuneAndNamesIt) {
    FakeGrblMachine machine = playingMachine();
    machine.workOffset = {-300, -200, -0.5}; // Z has half a millimetre above its work zero
    plug(machine);
    const std::string file = rendered(tune);
    EXPECT_EQ(play(file, {"--yes"}), ExitStatus::MachineRefused);
    EXPECT_THAT(err.str(), HasSubstr("GRBL raised an alarm: a move would have left the travel "
                                     "(soft limit); the position is kept (ALARM:2)"));
    EXPECT_THAT(err.str(), HasSubstr("home it again"));
    EXPECT_NE(links.link.written.find('\x18'), std::string::npos); // a soft reset
    EXPECT_LT(notesTaken(), 22u);

    machine.homing = true; // powered on in alarm
    plug(machine);
    EXPECT_EQ(play(file, {"--yes"}), ExitStatus::MachineRefused);
    EXPECT_THAT(err.str(), HasSubstr("the machine is in alarm: home it ($H)"));
    EXPECT_TRUE(grbl->linesTaken().empty() || grbl->linesTaken().back() == "$I");
    rendered("24 0.5\n"); // its settings are read all the same: only play needs it ready
}

TEST_F(Play, AFileThatFailsCheckPlaysNothing) {
    plug(playingMachine());
    std::string text = test::readFile(rendered(tune));
    text.erase(text.rfind("M2"));
    test::writeFile(path("cut.nc"), text);
    EXPECT_EQ(play(path("cut.nc"), {"--yes"}), ExitStatus::Violations);
    EXPECT_THAT(err.str(), HasSubstr("fails check: nothing was played"));
    EXPECT_EQ(notesTaken(), 0u);

    test::writeFile(path("other.nc"), [&] {
        std::string timed = test::readFile(path("song.nc"));
        const std::string stated = "X and Y 500";
        return timed.replace(timed.find(stated), stated.size(), "X and Y 900");
    }());
    EXPECT_EQ(play(path("other.nc"), {"--yes"}), ExitStatus::Violations);
    EXPECT_THAT(err.str(), HasSubstr("fails check"));
    EXPECT_EQ(notesTaken(), 0u);
}

TEST_F(Play, TheLinkLostMidTuneEndsWithItsOwnStatus) {
    plug(playingMachine());
    const std::string file = rendered(tune);
    links.link.cutAfterBytes = links.link.written.size() + 300;
    EXPECT_EQ(play(file, {"--yes"}), ExitStatus::LinkLost);
    EXPECT_THAT(err.str(), HasSubstr("the link to the machine was lost"));
    EXPECT_THAT(err.str(), HasSubstr("stop it with its own stop or reset button"));
    EXPECT_GT(notesTaken(), 0u);
    EXPECT_LT(notesTaken(), 22u);
}

TEST_F(Play, NeedsALinkAndAControllerItCanPlayOn) {
    EXPECT_EQ(run({"play", "x.nc"}), ExitStatus::Usage);
    EXPECT_THAT(err.str(), HasSubstr("play needs --machine LINK"));
    test::writeFile(path("x.nc"), "M2\n");
    EXPECT_EQ(run({"play", path("x.nc"), "--machine", "linuxcnc:localhost"}), ExitStatus::Usage);
    EXPECT_THAT(err.str(), HasSubstr("linuxcncrsh cannot report the machine's settings; give its "
                                     "INI as well"));
    EXPECT_EQ(run({"play", path("x.nc"), "--machine", link, "--machine", path("x.ini")}),
              ExitStatus::Usage);
    EXPECT_THAT(err.str(), HasSubstr("GRBL reports its own settings over the link; give the link "
                                     "alone"));
    links.refusal = "there is no such device";
    EXPECT_EQ(run({"check", path("x.nc"), "--machine", link}), ExitStatus::LinkLost);
    EXPECT_THAT(err.str(), HasSubstr("cannot open /dev/ttyFAKE: there is no such device"));
}

/// Runs the fake GRBL a millisecond at a time and notes when the machine reaches each of
/// `targets` (machine coordinates) in turn: the ends of the notes.
class Arrivals : public LinkPeer {
  public:
    Arrivals(FakeGrbl& grbl, std::vector<std::array<double, 3>> targets, LinkTime start)
        : grbl_(grbl), targets_(std::move(targets)), now_(start) {}
    void receive(std::string_view bytes, LinkTime time) override {
        pending_ += runUntil(time);
        grbl_.receive(bytes, time);
    }
    std::string runUntil(LinkTime time) override {
        std::string said = std::exchange(pending_, {});
        for (; now_ + std::chrono::milliseconds(1) <= time; now_ += std::chrono::milliseconds(1)) {
            said += grbl_.runUntil(now_ + std::chrono::milliseconds(1));
            const auto at = grbl_.position();
            if (times.size() < targets_.size() &&
                std::abs(at[0] - targets_[times.size()][0]) +
                        std::abs(at[1] - targets_[times.size()][1]) +
                        std::abs(at[2] - targets_[times.size()][2]) <
                    0.011) { // a millisecond's travel at 11 mm/s
                times.push_back(now_ + std::chrono::milliseconds(1));
            }
        }
        return said + grbl_.runUntil(time);
    }
    std::optional<LinkTime> nextChange() const override {
        return pending_.empty() ? grbl_.nextChange() : std::optional(now_);
    }

    std::vector<LinkTime> times;

  private:
    FakeGrbl& grbl_;
    std::vector<std::array<double, 3>> targets_;
    LinkTime now_;
    std::string pending_; ///< said before bytes were received, not yet read
};

/// The machine positions the program's notes (G1 lines) end at.
std::vector<std::array<double, 3>> noteEnds(const std::string& program,
                                            const std::array<double, 3>& workOffset) {
    std::vector<std::array<double, 3>> ends;
    std::array<double, 3> at = workOffset;
    std::istringstream lines(program);
    for (std::string line; std::getline(lines, line);) {
        for (int axis = 0; axis < 3; ++axis) {
            const auto word = line.find(char('X' + axis));
            if (line.starts_with("G") && word != std::string::npos) {
                at[std::size_t(axis)] =
                    std::stod(line.substr(word + 1)) + workOffset[std::size_t(axis)];
            }
        }
        if (line.starts_with("G1 ")) {
            ends.push_back(at);
        }
    }
    return ends;
}

/// The score's own note ends, in seconds from its first note's end.
std::vector<double> scoreEnds(const std::string& score) {
    std::vector<double> ends;
    double clock = 0;
    std::istringstream lines(score);
    for (double key, hold, gap; lines >> key >> hold >> gap;) {
        clock += gap + hold;
        ends.push_back(clock);
    }
    for (double& end : ends) {
        end -= ends.front();
    }
    return ends;
}

TEST_F(Play, ThePlannerNeverRunsDryAndTheNoteEndsAreMeasured) {
    std::string score;
    for (int i = 0; i < 40; ++i) {
        score += std::to_string(10 + (i * 7) % 20) + " " + std::to_string(0.15 + (i % 5) * 0.1) +
                 " " + (i % 4 == 3 ? "0.2" : "0") + "\n";
    }
    test::writeFile(path("timed.txt"), score);
    test::writeFile(path("limits.ini"),
                    "MaxX = 250\nMaxY = 150\nMaxZ = 60\nMAxXYSpeed = 40\nMAxZSpeed = 8\n");
    const FakeGrblMachine machine = playingMachine();
    plug(machine);
    ASSERT_EQ(run({"render", path("timed.txt"), "-o", path("timed.nc"), "--machine", link,
                   "--steps-per-unit", "80", "--pause", "--settings", path("limits.ini")}),
              ExitStatus::Done)
        << err.str();
    const std::string program = test::readFile(path("timed.nc"));
    Arrivals arrivals(*grbl, noteEnds(program, machine.workOffset), links.link.time);
    links.link.peer = &arrivals;
    ASSERT_EQ(play(path("timed.nc"), {"--yes"}), ExitStatus::Done) << out.str() << err.str();
    EXPECT_THAT(err.str(), HasSubstr("never ran dry"));
    const std::vector<double> expected = scoreEnds(score);
    ASSERT_EQ(arrivals.times.size(), expected.size());
    double worst = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const double measured =
            std::chrono::duration<double>(arrivals.times[i] - arrivals.times[0]).count();
        worst = std::max(worst, std::abs(measured - expected[i]));
    }
    // Printed, not asserted: the fake stops at every corner where GRBL's planner blends through
    // its junctions, as the file is timed for, so its notes drift from the score's time.
    std::cout << "note ends against the score: worst " << worst * 1000 << " ms; " << err.str();
}

/// A refused line stops the player naming the program's line; stop() then resets GRBL.
TEST(GrblPlayer, ARefusedLineNamesItsProgramLineAndStopResets) {
    FakeMachineLink link;
    FakeGrbl grbl(playingMachine(), link.time);
    link.peer = &grbl;
    GrblPlayer player(link);
    EXPECT_THAT(player.start(link.time + std::chrono::seconds(5)), HasSubstr("$130=300.000"));
    struct : PlayWatcher {
        void progress(std::uint64_t) override {}
        bool paused(std::string_view) override { return true; }
        bool stopAsked() override { return false; }
    } watcher;
    try {
        player.play({"G21 G90 G94", "(a comment)", "G1 X1 F600", "G65 X2", "G1 X3", "M2"}, watcher);
        ADD_FAILURE() << "not refused";
    } catch (const MachineStopped& refused) {
        EXPECT_EQ(refused.sentLine, 4u);
        EXPECT_EQ(refused.code, "error:20");
        EXPECT_THAT(refused.what(), HasSubstr("a G-code GRBL does not support"));
    }
    EXPECT_THAT(player.stop(), HasSubstr("home it again"));
    EXPECT_THAT(grbl.state(), Not(HasSubstr("Run")));
}

} // namespace
} // namespace chimex
