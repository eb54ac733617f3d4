// SPDX-License-Identifier: MIT
#include "cli/command_line.h"
#include "cli/common/machine_options.h"
#include "cli/listen/listen_command.h"
#include "cli/render/render_command.h"
#include "midi_builder.h"
#include "scratch_folder.h"
#include "text_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <sstream>

#include <sys/stat.h>

namespace chimex {
namespace {

using test::ScratchFolder;
using ::testing::AllOf;

using ::testing::HasSubstr;

class CommandLine : public ::testing::Test {
  protected:
    ExitStatus run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return runCommandLine(args, {out, err, false});
    }
    std::string path(const std::string& name) const { return (folder.path() / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        test::writeFile(path(name), text);
    }
    void write(const std::string& name, const test::Bytes& bytes) const {
        write(name, std::string(bytes.begin(), bytes.end()));
    }

    ScratchFolder folder;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(CommandLine, RendersAMidiFileAndChecksTheResultClean) {
    write("song.mid",
          test::midiFile(1, 96,
                         {test::TrackBuilder().tempo(0, 400000).end(), test::TrackBuilder()
                                                                           .on(0, 60)
                                                                           .off(96, 60)
                                                                           .on(48, 64)
                                                                           .off(96, 64)
                                                                           .on(0, 67)
                                                                           .off(192, 67)
                                                                           .end()}));
    EXPECT_EQ(run({"render", path("song.mid"), "-o", path("song.txt")}), ExitStatus::Done);
    EXPECT_THAT(err.str(), HasSubstr("3 notes placed"));
    EXPECT_EQ(run({"check", path("song.txt")}), ExitStatus::Done);
    EXPECT_THAT(out.str(), HasSubstr("3 notes"));
    EXPECT_THAT(out.str(), HasSubstr("All checks passed."));
    EXPECT_EQ(run({"check", path("song.txt"), "--json"}), ExitStatus::Done);
    EXPECT_THAT(out.str(), HasSubstr("\"ok\": true"));
    EXPECT_THAT(out.str(), HasSubstr("\"notes\": 3"));
}

TEST_F(CommandLine, NotesHeldForNoTimeRenderAFileThatChecksClean) {
    write("score.txt", "24 0\n25 0\n36 0.5\n0 0\n");
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("part.txt")}), ExitStatus::Done);
    EXPECT_EQ(run({"check", path("part.txt")}), ExitStatus::Done) << out.str();
}

// GRBL waits a dwell in whole 50 ms steps and its stop at a rest costs its $1: the dwell is the
// gap in whole steps, the rest taken from the note before; no dwell between legato notes; a note
// from rest shorter than 2v/a (key 36 at 500 mm/s²: 52 ms) is named.
TEST_F(CommandLine, AccelTimesGrblNotesAndDwellsOnlyAtRests) {
    write("score.txt", "0 0.5\n36 0.2 0.3\n12 0.4\n36 0.04 0.1\n");
    write("fast.ini", "MaxX = 400\nMaxY = 300\nMaxZ = 100\nMAxXYSpeed = 25\nMAxZSpeed = 15\n");
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("song.nc"), "--format", "gcode",
                   "--dialect", "grbl", "--unit", "mm", "--steps-per-unit", "80", "--accel", "500",
                   "--pause", "--settings", path("fast.ini")}),
              ExitStatus::Done)
        << err.str();
    EXPECT_THAT(err.str(), HasSubstr("1 notes too short to reach their pitch keep their time "
                                     "without it (the first: note 4)"));
    const std::string gcode = test::readFile(path("song.nc"));
    EXPECT_THAT(gcode, HasSubstr("\r\nG4 P2\r\nG1 "));
    EXPECT_THAT(gcode, HasSubstr("\r\nG4 P0.299\r\nG1 "));
    EXPECT_THAT(gcode, HasSubstr("\r\nG4 P0.099\r\nG1 "));
    std::size_t dwells = 0;
    for (auto at = gcode.find("G4 P"); at != std::string::npos; at = gcode.find("G4 P", at + 1)) {
        ++dwells;
    }
    EXPECT_EQ(dwells, 3u);
    EXPECT_EQ(run({"check", path("song.nc"), "--settings", path("fast.ini")}), ExitStatus::Done)
        << out.str();
    // check times it by GRBL's planner: the notes, the rests and the start pause, 3.54 s, and the
    // first note's ramp up to its first step, which the score's time starts from.
    EXPECT_EQ(run({"check", path("song.nc"), "--settings", path("fast.ini"), "--accel", "500"}),
              ExitStatus::Done);
    EXPECT_THAT(out.str(), HasSubstr("running time 3.546 s"));
    // $1=255 keeps GRBL's motors on: a stop costs nothing, so the dwells are the whole rests.
    EXPECT_EQ(run({"check", path("song.nc"), "--settings", path("fast.ini"), "--accel", "500",
                   "--step-idle-delay", "0.255"}),
              ExitStatus::Done);
    EXPECT_THAT(out.str(), HasSubstr("running time 3.496 s"));
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("kept.nc"), "--format", "gcode",
                   "--dialect", "grbl", "--unit", "mm", "--steps-per-unit", "80", "--accel", "500",
                   "--pause", "--settings", path("fast.ini"), "--step-idle-delay", "0.255"}),
              ExitStatus::Done);
    EXPECT_THAT(test::readFile(path("kept.nc")), HasSubstr("\r\nG4 P0.299\r\nG1 "));
    // LinuxCNC's task must see the move under way before it times the dwell after it.
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("song.ngc"), "--format", "gcode",
                   "--dialect", "linuxcnc", "--unit", "mm", "--steps-per-unit", "80", "--accel",
                   "500", "--pause", "--settings", path("fast.ini")}),
              ExitStatus::Done);
    EXPECT_THAT(test::readFile(path("song.ngc")),
                HasSubstr("\r\nG4 P2\r\nG1 Z0.8114 F98.1096\r\nG61.1\r\nG4 P0.299\r\n"));
    EXPECT_EQ(run({"check", path("song.ngc"), "--settings", path("fast.ini")}), ExitStatus::Done)
        << out.str();
}

/// The G1 lines of a G-code file.
std::vector<std::string> feedMoves(const std::string& gcode) {
    std::vector<std::string> moves;
    for (const std::string& line : test::crlfLines(gcode)) {
        if (line.starts_with("G1 ")) {
            moves.push_back(line);
        }
    }
    return moves;
}

// A bass held under a moving voice, a drum the chords leave out, then four notes at once.
TEST_F(CommandLine, ChordsHoldTheBassOnItsAxisAndLeaveOutTheFourthNote) {
    write("song.mid",
          test::midiFile(1, 480,
                         {test::TrackBuilder().on(0, 48).off(1440, 48).end(),
                          test::TrackBuilder()
                              .on(0, 64)
                              .off(480, 64)
                              .on(0, 67)
                              .off(480, 67)
                              .on(0, 60)
                              .on(0, 64)
                              .on(0, 67)
                              .off(480, 60)
                              .off(0, 64)
                              .off(0, 67)
                              .end(),
                          test::TrackBuilder().on(0, 36, 100, 9).off(240, 36, 9).end()}));
    const auto render = [&](const std::string& out, std::vector<std::string> more) {
        std::vector<std::string> args = {
            "render", path("song.mid"), "-o",       path(out), "--format",
            "gcode",  "--dialect",      "linuxcnc", "--unit",  "mm"};
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    };
    ASSERT_EQ(render("chords.ngc", {"--voices", "3"}), ExitStatus::Done) << err.str();
    EXPECT_THAT(err.str(), HasSubstr("5 notes placed in 3 moves\n1 notes left out where more "
                                     "than 3 sound at once (the first: key 12 at 1 s)"));
    const auto moves = feedMoves(test::readFile(path("chords.ngc")));
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_THAT(moves[0], ::testing::MatchesRegex("G1 X[0-9.]+ Y[0-9.]+ F.*"));
    EXPECT_THAT(moves[1], ::testing::MatchesRegex("G1 X[0-9.]+ Y[0-9.]+ F.*"));
    EXPECT_THAT(moves[2], ::testing::MatchesRegex("G1 X[0-9.]+ Y[0-9.]+ Z[0-9.]+ F.*"));
    const auto x = [&](std::size_t i) {
        return std::stod(moves[i].substr(4));
    };
    EXPECT_TRUE(x(0) < x(1) && x(1) < x(2)) << "the bass keeps X and its direction";
    EXPECT_EQ(run({"check", path("chords.ngc")}), ExitStatus::Done) << out.str();
    EXPECT_THAT(out.str(), HasSubstr("lines, 0 notes, 3 chords, 1 pauses"));
    // Timed through the ramps, the same chords still pass the check.
    ASSERT_EQ(render("timed.ngc", {"--voices", "3", "--accel", "500"}), ExitStatus::Done);
    EXPECT_EQ(run({"check", path("timed.ngc")}), ExitStatus::Done) << out.str();
    // One voice is what it always was.
    ASSERT_EQ(render("one.ngc", {"--voices", "1"}), ExitStatus::Done);
    ASSERT_EQ(render("default.ngc", {}), ExitStatus::Done);
    EXPECT_EQ(test::readFile(path("one.ngc")), test::readFile(path("default.ngc")));
}

TEST_F(CommandLine, FinishTurnsAJournalIntoThePartFileRenderWrites) {
    write("score.txt", "24 0.5\n12 1 0.25\n31 0.3\n");
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("part.txt"), "--pause"}),
              ExitStatus::Done);
    const auto rendered = test::crlfLines(test::readFile(path("part.txt")));
    // The journal lies between the 32 lines of header and start sequence and the 4 of the footer.
    const std::vector<std::string> journal(rendered.begin() + 32, rendered.end() - 4);
    // A power cut cut the last line short and left zeros where the rest never reached the disk:
    // both are left out, and said so.
    write("journal.txt", test::crlfText(journal) + "J3,, 6.6" + std::string(70000, '\0'));
    ASSERT_EQ(run({"finish", path("journal.txt"), "-o", path("finished.txt")}), ExitStatus::Done)
        << err.str();
    EXPECT_THAT(err.str(), HasSubstr("ends in 70000 NUL bytes"));
    EXPECT_THAT(err.str(),
                HasSubstr("has no line end, so it may be cut short; left out: \"J3,, 6.6\""));
    auto finished = test::crlfLines(test::readFile(path("finished.txt")));
    ASSERT_EQ(finished.size(), rendered.size());
    // The highest points are known from the jogs to three decimals only.
    for (std::size_t line : {8u, 11u, 14u}) {
        EXPECT_EQ(finished[line].substr(0, 30), rendered[line].substr(0, 30));
        finished[line] = rendered[line];
    }
    EXPECT_EQ(finished, rendered);
    EXPECT_EQ(run({"check", path("finished.txt")}), ExitStatus::Done) << out.str();
    EXPECT_EQ(run({"finish", path("finished.txt"), "-o", path("again.txt")}), ExitStatus::BadInput);
    EXPECT_THAT(err.str(), HasSubstr("finished.txt: a finished part file already"));
}

TEST_F(CommandLine, CheckListsViolationsAndExitsWithOne) {
    write("score.txt", "24 0.5\n12 1 0.25\n");
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("part.txt")}), ExitStatus::Done);
    std::string text = test::readFile(path("part.txt"));
    text.replace(text.find("PAUSE 2"), 7, "PAUSE two");
    write("part.txt", text);
    EXPECT_EQ(run({"check", path("part.txt")}), ExitStatus::Violations);
    EXPECT_THAT(out.str(), HasSubstr("line 31: PAUSE without a number of seconds"));
    EXPECT_EQ(run({"check", path("part.txt"), "--json"}), ExitStatus::Violations);
    EXPECT_THAT(out.str(), HasSubstr("{\"line\": 31, \"message\": \"PAUSE without a number"));
}

TEST_F(CommandLine, SettingsFileWithLineFeedsLimitsTheCheck) {
    write("score.txt", "36 1\n");
    write("small.ini", "MaxX = 2\nMaxY = 2\nMaxZ = 2\nMAxXYSpeed = 1\nMAxZSpeed = 1\n");
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("part.txt")}), ExitStatus::Done);
    EXPECT_EQ(run({"check", path("part.txt"), "--settings", path("small.ini")}),
              ExitStatus::Violations);
    EXPECT_THAT(out.str(), HasSubstr("faster than the X and Y limit 1"));
}

TEST_F(CommandLine, LimitsOfZeroOrLessKeepTheirAxesStill) {
    write("x.ini", "MaxX = 50\nMaxY = 0\nMaxZ = -5\nMAxXYSpeed = 3\nMAxZSpeed = 0\n");
    write("score.txt", "0 0.1\n5 0.2\n36 0.3\n");
    ASSERT_EQ(
        run({"render", path("score.txt"), "-o", path("part.txt"), "--settings", path("x.ini")}),
        ExitStatus::Done)
        << err.str();
    const std::string part = test::readFile(path("part.txt"));
    EXPECT_EQ(part.find("J3,,"), std::string::npos);
    EXPECT_NE(part.find("J3, "), std::string::npos);
    EXPECT_EQ(run({"check", path("part.txt"), "--settings", path("x.ini")}), ExitStatus::Done);
}

TEST_F(CommandLine, ADesktopSettingsFileThatCannotBeReadIsRefusedNotSkipped) {
    // The tests' own folder has no notes/ beside it: the desktop program's Chimex.ini is looked
    // for in $XDG_CONFIG_HOME/chimex/.
    const std::filesystem::path ini =
        std::filesystem::path(path("config")) / "chimex" / "Chimex.ini";
    std::filesystem::create_directories(ini.parent_path());
    write("part.txt", "PAUSE 2\r\n");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    const std::pair<std::function<void()>, const char*> kinds[] = {
        {[&] { ::mkfifo(ini.c_str(), 0600); }, "not an ordinary file"},
        {[&] { std::filesystem::create_directory(ini); }, "it is a folder"},
        {[&] { std::filesystem::create_symlink("gone.ini", ini); }, "does not exist"},
        {[&] { std::filesystem::create_symlink("Chimex.ini", ini); }, "symbolic links"},
    };
    for (const auto& [make, reason] : kinds) {
        make();
        err.str("");
        EXPECT_EQ(run({"check", path("part.txt")}), ExitStatus::BadInput) << reason;
        EXPECT_THAT(err.str(), AllOf(HasSubstr("Chimex.ini: cannot be read"), HasSubstr(reason)));
        std::filesystem::remove(ini);
    }
    old ? ::setenv("XDG_CONFIG_HOME", kept.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(CommandLine, NoRoomWritesTheNotesBeforeAndSaysSo) {
    write("tiny.ini", "MaxX = 1\r\nMaxY = 1\r\nMaxZ = 1\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\n");
    write("score.txt", "0 0.1\n36 5\n0 0.1\n");
    EXPECT_EQ(
        run({"render", path("score.txt"), "-o", path("part.txt"), "--settings", path("tiny.ini")}),
        ExitStatus::NoRoom);
    EXPECT_THAT(err.str(), HasSubstr("Not enough room: Sorry, there's not enough room"));
    EXPECT_THAT(err.str(), HasSubstr("1 notes placed; stopped"));
    EXPECT_EQ(run({"check", path("part.txt"), "--settings", path("tiny.ini")}), ExitStatus::Done);
    EXPECT_THAT(out.str(), HasSubstr("1 notes"));
    EXPECT_EQ(
        run({"render", path("score.txt"), "-o", path("part.ngc"), "--settings", path("tiny.ini"),
             "--format", "gcode", "--dialect", "grbl", "--unit", "mm", "--voices", "2"}),
        ExitStatus::NoRoom);
    EXPECT_THAT(err.str(), HasSubstr("Not enough room: Sorry"));
    EXPECT_THAT(err.str(), HasSubstr("1 notes placed in 1 moves; stopped"));
    EXPECT_EQ(feedMoves(test::readFile(path("part.ngc"))).size(), 1u);
}

/// A G-code render that must pass its own check and, with --accel, keep the score's time there.
struct KeptTime {
    const char* name;
    const char* score;
    std::vector<std::string> args; ///< after the score, OUT, --format gcode and --unit mm
    ExitStatus status;
    const char* report;
    const char* runningTime; ///< check's, with the render's --accel
    const char* settings = "MaxX = 96\nMaxY = 48\nMaxZ = 6\nMAxXYSpeed = 3\nMAxZSpeed = 2\n";
};

class RenderedTime : public CommandLine, public ::testing::WithParamInterface<KeptTime> {};

TEST_P(RenderedTime, PassesItsOwnCheckAndKeepsTheScoresTime) {
    const KeptTime& c = GetParam();
    write("score.txt", c.score);
    write("machine.ini", c.settings);
    std::vector<std::string> args = {
        "render", path("score.txt"), "-o", path("out.nc"), "--format",
        "gcode",  "--unit",          "mm", "--settings",   path("machine.ini")};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(run(args), c.status) << err.str();
    EXPECT_THAT(err.str(), HasSubstr(c.report));
    std::vector<std::string> check = {"check", path("out.nc"), "--settings", path("machine.ini")};
    const auto accel = std::find(c.args.begin(), c.args.end(), "--accel");
    if (accel != c.args.end()) {
        check.insert(check.end(), accel, accel + 2);
    }
    EXPECT_EQ(run(check), ExitStatus::Done) << out.str();
    EXPECT_THAT(out.str(), HasSubstr(std::string("running time ") + c.runningTime + " s"));
}

const char* const fourNotes = "24 0.5\n26 0.5 0.1\n0 1\n36 0.2 0.3\n";
const char* const mostlyTooShort = "24 0.001\n0 0.001\n36 0.001\n12 0.5\n5 0.001\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderedTime,
    ::testing::Values(
        // The header states the extents with the decimals the chords' positions carry.
        KeptTime{"ChordHeaderAtThePositionsDecimals",
                 fourNotes,
                 {"--dialect", "linuxcnc", "--voices", "2", "--steps-per-unit", "80"},
                 ExitStatus::Done,
                 "4 notes placed in 4 moves",
                 "4.600"},
        KeptTime{"NoTimedMoveOnZero",
                 "18 0.005 0.005\n20 0.005 0.005\n13 0.005 0.005\n",
                 {"--dialect", "linuxcnc", "--pause", "--accel", "50"},
                 ExitStatus::Done,
                 "3 notes placed",
                 "2.025"},
        // Whole steps of 0.16 mm: the last note ends early by what a dwell keeps.
        KeptTime{"WholeStepsEndOnTime",
                 "15 1.429\n",
                 {"--dialect", "marlin", "--steps-per-unit", "6.25", "--accel", "50"},
                 ExitStatus::Done,
                 "1 notes placed",
                 "3.429"},
        KeptTime{"VeryLowAcceleration",
                 fourNotes,
                 {"--dialect", "linuxcnc", "--pause", "--accel", "0.01"},
                 ExitStatus::Done,
                 "4 notes too short to reach their pitch",
                 "4.600"},
        KeptTime{"NotesOfNoWholeStepAreRests",
                 mostlyTooShort,
                 {"--dialect", "grbl", "--steps-per-unit", "80", "--accel", "500"},
                 ExitStatus::Done,
                 "4 notes too short to sound (no whole step in their time) keep their time as "
                 "rests (the first: note 1)",
                 "2.508"}, // from the ramp before the note's first step, where its time starts
        KeptTime{
            "ChordsOfNoWholeStepAreRests",
            mostlyTooShort,
            {"--dialect", "marlin", "--voices", "2", "--steps-per-unit", "80", "--accel", "500"},
            ExitStatus::Done,
            "4 moves too short to sound",
            "2.504"},
        // Klipper plans in millimetres: no steps per unit needed, single voice or chords.
        KeptTime{"Klipper",
                 fourNotes,
                 {"--dialect", "klipper", "--pause", "--accel", "500"},
                 ExitStatus::Done,
                 "4 notes placed",
                 "4.600"},
        KeptTime{"KlipperChords",
                 fourNotes,
                 {"--dialect", "klipper", "--pause", "--voices", "3", "--accel", "500"},
                 ExitStatus::Done,
                 "4 notes placed in 4 moves",
                 "4.600"},
        // From 4.5 mm the second note would land on 0 or pass 6: the first is kept.
        KeptTime{"AChordOnZeroFindsNoRoom",
                 "36 1.5\n36 1.5\n",
                 {"--dialect", "grbl", "--voices", "2"},
                 ExitStatus::NoRoom,
                 "Not enough room: Sorry",
                 "3.500",
                 "MaxX = 6\nMaxY = 0\nMaxZ = 0\nMAxXYSpeed = 3\nMAxZSpeed = 2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandLine, OutputThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
    write("score.txt", "24 0.5\n");
    write("target.txt", "old");
    std::filesystem::create_symlink("target.txt", path("link.txt"));
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("link.txt")}), ExitStatus::Done);
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.txt")));
    EXPECT_THAT(test::readFile(path("target.txt")), HasSubstr("J3,"));
}

struct MachineCase {
    const char* name;
    const char* machine;           ///< the controller's settings file
    std::vector<std::string> args; ///< after "render" (or "listen") SCORE
    const char* implied;           ///< the options it fills in, "name=value" each, sorted
    const char* bound;             ///< MaxX MaxY MaxZ MaxXYSpeed MaxZSpeed it bounds by
    bool listen = false;
};

const char* const grblReport = "$1=255\n$11=0.020 (junction)\n$100=80\n$101=100\n$102=400\n"
                               "$110=3000\n$111=6000\n$112=600\n$120=500\n$121=250\n$122=100\n"
                               "$130=300\n$131=150\n$132=60\nok\n";
const char* const linuxCncIni =
    "[TRAJ]\nLINEAR_UNITS = inch\n[EMCMOT]\nSERVO_PERIOD = 500000\n[TASK]\nCYCLE_TIME = "
    "0.010\n[AXIS_X]\nMIN_LIMIT = -1\n"
    "MAX_LIMIT = 9\nMAX_VELOCITY = 2\nMAX_ACCELERATION = 20\n[JOINT_0]\nSCALE = 2000\n[JOINT_1]\n"
    "SCALE = 2000\n";

class MachineOptions : public ::testing::TestWithParam<MachineCase> {};

TEST_P(MachineOptions, FillWhatTheCommandLineLeavesOut) {
    const MachineCase& c = GetParam();
    const Command command = c.listen ? listenCommand() : renderCommand();
    std::vector<std::string> args = {std::string(command.name), "score.txt", "--machine", "m"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::istringstream text(c.machine);
    const Options options = withMachine(parseOptions(args, command.valued, command.flags),
                                        readMachineSettings(text, "m"), command);
    std::string implied;
    for (const std::string& name : options.implied) {
        implied += (implied.empty() ? "" : " ") + name + "=" + options.values.at(name);
    }
    EXPECT_EQ(implied, c.implied);
    std::ostringstream bound;
    for (const auto member : limitMembers) {
        bound << (member == limitMembers.front() ? "" : " ") << (*options.machineBound).*member;
    }
    EXPECT_EQ(bound.str(), c.bound);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, MachineOptions,
    ::testing::Values(
        MachineCase{"GrblGivesEverything",
                    grblReport,
                    {},
                    "--accel=250 --dialect=grbl --format=gcode --junction-deviation=0.02 "
                    "--step-idle-delay=0.255 --unit=mm --x-steps-per-unit=80 "
                    "--y-steps-per-unit=100 --z-accel=100 --z-steps-per-unit=400",
                    "300 150 60 50 10"},
        MachineCase{"TypedOptionsWin",
                    grblReport,
                    {"--steps-per-unit", "200", "--accel", "900", "--dialect", "marlin"},
                    "--format=gcode --junction-deviation=0.02 --unit=mm --z-accel=100 "
                    "--z-steps-per-unit=400",
                    "300 150 60 50 10"},
        MachineCase{"PartFileTakesStepsAndBoundsOnly",
                    grblReport,
                    {"--format", "part"},
                    "--x-steps-per-unit=80 --y-steps-per-unit=100 --z-steps-per-unit=400",
                    "300 150 60 50 10"},
        MachineCase{
            "InchesToMillimetres",
            linuxCncIni,
            {"--unit", "mm"},
            "--accel=508 --dialect=linuxcnc --format=gcode --servo-period=5e-04 --task-cycle=0.01 "
            "--x-steps-per-unit=78.74015748031496 --y-steps-per-unit=78.74015748031496",
            "254 inf inf 50.8 inf"},
        MachineCase{"ListenTakesStepsAndTiming",
                    grblReport,
                    {},
                    "--accel=250 --junction-deviation=0.02 --step-idle-delay=0.255 "
                    "--x-steps-per-unit=80 --y-steps-per-unit=100 --z-accel=100 "
                    "--z-steps-per-unit=400",
                    "300 150 60 50 10",
                    true}),
    [](const auto& info) { return info.param.name; });

TEST_F(CommandLine, CheckMachineComparesWhatTheFileWasTimedFor) {
    write("score.txt", "24 0.5\n0 0.25\n36 0.5\n");
    write("machine.ini", "MaxX = 96\nMaxY = 48\nMaxZ = 6\nMAxXYSpeed = 3\nMAxZSpeed = 2\n");
    write("grbl.txt", grblReport);
    write("other.txt", std::string(grblReport) + "$1=25\n$100=100\n");
    const std::vector<std::string> render = {
        "render",     path("score.txt"),   "-o",        path("timed.nc"),
        "--settings", path("machine.ini"), "--machine", path("grbl.txt")};
    ASSERT_EQ(run(render), ExitStatus::Done) << err.str();
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("plain.nc"), "--settings",
                   path("machine.ini"), "--format", "gcode", "--dialect", "grbl", "--unit", "mm"}),
              ExitStatus::Done);
    // A millimetre file for a machine set up in inches is checked in the file's unit.
    write("inch.ini", linuxCncIni);
    ASSERT_EQ(run({"render", path("score.txt"), "-o", path("mm.ngc"), "--settings",
                   path("machine.ini"), "--machine", path("inch.ini"), "--unit", "mm"}),
              ExitStatus::Done);
    struct Row {
        const char* file;
        const char* machine;
        ExitStatus status;
        const char* said; ///< in the report, or for a note on standard error
    };
    for (const Row& row : {
             Row{"timed.nc", "grbl.txt", ExitStatus::Done, "All checks passed."},
             Row{"timed.nc", "other.txt", ExitStatus::Violations,
                 "timed for 80 steps/mm on X, the machine has 100: notes on X sound 25.0 % high"},
             Row{"timed.nc", "other.txt", ExitStatus::Violations,
                 "step idle delay 0 s, the machine has 0.025 s: each rest costs 25.0 ms more"},
             Row{"plain.nc", "grbl.txt", ExitStatus::Done, "states no machine it was timed for"},
             Row{"mm.ngc", "inch.ini", ExitStatus::Done, "All checks passed."},
         }) {
        EXPECT_EQ(run({"check", path(row.file), "--settings", path("machine.ini"), "--machine",
                       path(row.machine)}),
                  row.status)
            << out.str();
        EXPECT_THAT(out.str() + err.str(), HasSubstr(row.said)) << row.machine;
    }
    EXPECT_THAT(test::readFile(path("timed.nc")),
                HasSubstr("(Timed for steps/mm X 80, Y 100, Z 400)\r\n(Timed for acceleration X "
                          "and Y 250, Z 100 mm/s^2)\r\n(Timed for junction deviation 0.02 mm)"));
}

struct Refusal {
    const char* name;
    std::vector<std::string> args; ///< "@" stands for the scratch folder
    ExitStatus status;
    const char* message;
};

class CommandLineRefusals : public CommandLine, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CommandLineRefusals, ExitWithTheDocumentedStatus) {
    write("score.txt", "1 1\n2 x\n");
    write("good.txt", "1 1\n");
    write("part.txt", "PAUSE 2\r\n");
    write("bad.txt", "PAUSE 2\r\nJS, 1\r\nG0 X1\r\n");
    write("grbl.txt", grblReport);
    std::string klipper = "[printer]\nkinematics: cartesian\nmax_velocity: 300\nmax_accel: 3000\n";
    for (const char* axis : {"x", "y", "z"}) {
        klipper += std::string("[stepper_") + axis +
                   "]\nrotation_distance: 40\nmicrosteps: 16\nposition_max: 200\n";
    }
    write("klipper.cfg", klipper);
    write("cut.mid", test::Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 1});
    write("noise.mid", "24 1\n");
    write("keep.txt", "kept\r\n");
    std::filesystem::permissions(path("keep.txt"), std::filesystem::perms(0444));
    std::filesystem::create_hard_link(path("part.txt"), path("hard.txt"));
    std::filesystem::create_symlink(path("part.txt"), path("soft.txt"));
    ::mkfifo(path("fifo").c_str(), 0600);
    write("empty.ini", "");
    write("huge.ini", "MaxZ = 1E39\nMAxXYSpeed = 3\n");
    write("utf16.txt", std::string("\xFF\xFE\x32\x00\x20\x00\x31\x00", 8));
    write("control.txt", std::string("2\x01 1\n"));
    write("day.mid",
          test::midiFile(
              0, 96, {test::TrackBuilder().tempo(0, 16777215).on(0, 60).off(500000, 60).end()}));
    write("slow.ini", "MaxX = 9\r\nMaxY = 9\r\nMaxZ = 9\r\nMAxXYSpeed = -3\r\nMAxZSpeed = 2\r\n");
    write("bad.ngc", "(file created by Gantrix Chimex software, G-code for GRBL)\r\nG91\r\n");
    write("far.txt", "PAUSE 2\r\nJS, 1\r\nJ3, 200\r\n");
    write("one.mid", test::midiFile(0, 96, {test::TrackBuilder().on(0, 60).off(96, 60).end()}));
    write("zeros.txt", std::string(5000, '\0'));
    write("crawl.ini", "MaxX = 96\nMaxY = 48\nMaxZ = 6\nMAxXYSpeed = 1E-9\nMAxZSpeed = 2\n");
    write("rush.ini", "MaxX = 96\nMaxY = 48\nMaxZ = 6\nMAxXYSpeed = 3.4E+38\nMAxZSpeed = 2\n");
    write("zcrawl.ini", "MaxX = 96\nMaxY = 48\nMaxZ = 6\nMAxXYSpeed = 3\nMAxZSpeed = 1E-9\n");
    write("gap.mid", test::midiFile(0, 96,
                                    {test::TrackBuilder()
                                         .tempo(0, 16777215)
                                         .on(0, 60)
                                         .off(96, 60)
                                         .on(500000, 62)
                                         .off(96, 62)
                                         .end()}));
    std::vector<std::string> args;
    for (std::string a : GetParam().args) {
        if (a.starts_with("@")) {
            a = path(a.substr(1));
        }
        args.push_back(a);
    }
    EXPECT_EQ(run(args), GetParam().status);
    EXPECT_THAT(err.str(), HasSubstr(GetParam().message));
    EXPECT_FALSE(std::filesystem::exists(path("out.txt")));
    EXPECT_EQ(test::readFile(path("score.txt")), "1 1\n2 x\n");
    EXPECT_EQ(test::readFile(path("part.txt")), "PAUSE 2\r\n");
    EXPECT_EQ(test::readFile(path("keep.txt")), "kept\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineRefusals,
    ::testing::Values(
        Refusal{"NoCommand", {}, ExitStatus::Usage, "no command given"},
        Refusal{"UnknownCommand", {"sing"}, ExitStatus::Usage, "unknown command sing"},
        Refusal{"NoOutput", {"render", "@score.txt"}, ExitStatus::Usage, "render needs -o OUT"},
        Refusal{"UnknownOption",
                {"render", "@score.txt", "-o", "@out.txt", "--loud"},
                ExitStatus::Usage,
                "unknown option --loud"},
        Refusal{"BadChannel",
                {"render", "@cut.mid", "-o", "@out.txt", "--channel", "17"},
                ExitStatus::Usage,
                "--channel takes a whole number from 1 to 16"},
        Refusal{"TrackOnText",
                {"render", "@score.txt", "-o", "@out.txt", "--track", "1"},
                ExitStatus::Usage,
                "apply to MIDI files"},
        Refusal{"MalformedScore",
                {"render", "@score.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "score.txt: line 2: the hold time must be a number of seconds"},
        Refusal{"TruncatedMidi",
                {"render", "@cut.mid", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "MIDI file damaged"},
        Refusal{"MissingScore",
                {"render", "@none.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "cannot open the score"},
        Refusal{"UnreadableScore",
                {"render", "@.", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "cannot read the score: it is a folder"},
        Refusal{"MissingPart",
                {"check", "@none.txt"},
                ExitStatus::BadInput,
                "cannot open the part file"},
        Refusal{"MissingSettings",
                {"check", "@score.txt", "--settings", "@none.ini"},
                ExitStatus::BadInput,
                "does not exist"},
        Refusal{
            "PreviewNoOutput", {"preview", "@part.txt"}, ExitStatus::Usage, "preview needs -o OUT"},
        Refusal{"PreviewTwoParts",
                {"preview", "@part.txt", "@part.txt", "-o", "@out.txt"},
                ExitStatus::Usage,
                "preview takes one PART file"},
        Refusal{"PreviewMalformedLine",
                {"preview", "@bad.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "bad.txt: line 3: not a line of a part file: \"G0 X1\""},
        Refusal{"PreviewMissingPart",
                {"preview", "@none.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "cannot open the part file"},
        Refusal{"PreviewMissingSettings",
                {"preview", "@part.txt", "-o", "@out.txt", "--settings", "@none.ini"},
                ExitStatus::BadInput,
                "does not exist"},
        Refusal{"OutputIsTheScore",
                {"render", "@score.txt", "-o", "@score.txt"},
                ExitStatus::Usage,
                "is the input"},
        Refusal{"OutputIsTheSettings",
                {"render", "@good.txt", "-o", "@score.txt", "--settings", "@score.txt"},
                ExitStatus::Usage,
                "is the input"},
        Refusal{"PreviewOverHardLink",
                {"preview", "@part.txt", "-o", "@hard.txt"},
                ExitStatus::Usage,
                "is the input"},
        Refusal{"ListenOverSymbolicLink",
                {"listen", "@soft.txt", "-o", "@part.txt", "--steps-per-unit", "400"},
                ExitStatus::Usage,
                "is the input"},
        Refusal{"ReadOnlyOutput",
                {"render", "@good.txt", "-o", "@keep.txt"},
                ExitStatus::OutputFailure,
                "keep.txt: it is read-only"},
        Refusal{"PreviewReadOnlyOutput",
                {"preview", "@part.txt", "-o", "@keep.txt"},
                ExitStatus::OutputFailure,
                "it is read-only"},
        Refusal{"OutputIsAFolder",
                {"render", "@good.txt", "-o", "@."},
                ExitStatus::OutputFailure,
                "names a folder"},
        Refusal{"OutputEndsInASlash",
                {"render", "@good.txt", "-o", "@sub/"},
                ExitStatus::OutputFailure,
                "names a folder"},
        Refusal{"PreviewFromAPipe",
                {"preview", "@fifo", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "not a pipe or device"},
        Refusal{"MidiNameOnText",
                {"render", "@noise.mid", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "noise.mid: not a MIDI file"},
        Refusal{"EmptySettings",
                {"check", "@part.txt", "--settings", "@empty.ini"},
                ExitStatus::BadInput,
                "empty.ini: MAxXYSpeed must be given a number above 0"},
        Refusal{"HugeSettings",
                {"check", "@part.txt", "--settings", "@huge.ini"},
                ExitStatus::BadInput,
                "huge.ini: MaxZ must be given a number that fits"},
        Refusal{"SettingsFromAPipe",
                {"check", "@part.txt", "--settings", "@fifo"},
                ExitStatus::BadInput,
                "fifo: cannot be read: it is not an ordinary file"},
        Refusal{"SettingsAreAFolder",
                {"check", "@part.txt", "--settings", "@."},
                ExitStatus::BadInput,
                "cannot be read: it is a folder"},
        Refusal{"NegativeSpeedSettings",
                {"render", "@good.txt", "-o", "@out.txt", "--settings", "@slow.ini"},
                ExitStatus::BadInput,
                "slow.ini: MAxXYSpeed must be given a number above 0"},
        Refusal{"Utf16Score",
                {"render", "@utf16.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "utf16.txt: line 1: the score is UTF-16 text"},
        Refusal{"ControlByteInScore",
                {"render", "@control.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "not \"2\\x01\""},
        Refusal{"MidiNoteLongerThanADay",
                {"render", "@day.mid", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "note 1: held for"},
        // Settings, options and scores that would make a file our own check refuses, named.
        Refusal{"SpeedWrittenAsZero",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--settings", "@crawl.ini"},
                ExitStatus::BadInput,
                "crawl.ini: MAxXYSpeed 1E-09 is too slow: key 0 would jog at a speed written as 0"},
        Refusal{"SpeedBeyondAnyMachine",
                {"render", "@good.txt", "-o", "@out.txt", "--settings", "@rush.ini"},
                ExitStatus::BadInput,
                "rush.ini: MAxXYSpeed 3.4E+38 is faster than any machine jogs"},
        Refusal{"TunedZSpeedWrittenAsZero",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--steps-per-unit", "80", "--settings", "@zcrawl.ini"},
                ExitStatus::BadInput,
                "zcrawl.ini: MAxZSpeed 1E-09 is too slow: a note on Z would jog"},
        Refusal{
            "StepsBeyondAnyNumber",
            {"render", "@good.txt", "-o", "@out.txt", "--steps-per-unit", "1e-300"},
            ExitStatus::Usage,
            "--steps-per-unit 1e-300 is too few: key 36 would jog at a speed beyond any number"},
        Refusal{"ZStepsBeyondAnyNumber",
                {"render", "@good.txt", "-o", "@out.txt", "--steps-per-unit", "80",
                 "--z-steps-per-unit", "1e-300"},
                ExitStatus::Usage,
                "--z-steps-per-unit 1e-300 is too few"},
        Refusal{"ChordsAfterARestOfADay",
                {"render", "@gap.mid", "-o", "@out.txt", "--format", "gcode", "--dialect",
                 "linuxcnc", "--unit", "mm", "--voices", "3"},
                ExitStatus::BadInput,
                "gap.mid: note 2: a gap of 87381.328125 seconds"},
        Refusal{"ChordHeldForADay",
                {"render", "@day.mid", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--voices", "2"},
                ExitStatus::BadInput,
                "day.mid: note 1: held for"},
        Refusal{"FinishMalformedJournal",
                {"finish", "@bad.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "bad.txt: line 3: not a line of a part file"},
        Refusal{"GcodeWithoutDialect",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--unit", "mm"},
                ExitStatus::Usage,
                "G-code needs --dialect grbl|linuxcnc|marlin|klipper and --unit mm|in"},
        Refusal{"DialectWithoutGcode",
                {"render", "@good.txt", "-o", "@out.txt", "--dialect", "grbl"},
                ExitStatus::Usage,
                "--dialect and --unit go with --format gcode"},
        Refusal{"MarlinInInches",
                {"convert", "@part.txt", "-o", "@out.txt", "--dialect", "marlin", "--unit", "in"},
                ExitStatus::Usage,
                "Marlin works in millimetres"},
        Refusal{"KlipperInInches",
                {"convert", "@part.txt", "-o", "@out.txt", "--dialect", "klipper", "--unit", "in"},
                ExitStatus::Usage,
                "Klipper works in millimetres"},
        Refusal{"KlipperJunctionDeviation",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect",
                 "klipper", "--unit", "mm", "--accel", "500", "--junction-deviation", "0.01"},
                ExitStatus::Usage,
                "Klipper derives its corners from --square-corner-velocity"},
        Refusal{"SquareCornerVelocityForGrbl",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--steps-per-unit", "80", "--accel", "500",
                 "--square-corner-velocity", "5"},
                ExitStatus::Usage,
                "--square-corner-velocity is Klipper's; GRBL has no such setting"},
        Refusal{"ZStepsAlone",
                {"render", "@good.txt", "-o", "@out.txt", "--z-steps-per-unit", "400"},
                ExitStatus::Usage,
                "--z-steps-per-unit goes with --steps-per-unit"},
        Refusal{"ConvertOutsideTravel",
                {"convert", "@far.txt", "-o", "@out.txt", "--dialect", "grbl", "--unit", "in"},
                ExitStatus::BadInput,
                "far.txt: line 3: X moves to 200, outside 0 to 96 (and "},
        Refusal{"ListenGcodeOutsideSubset",
                {"listen", "@bad.ngc", "-o", "@out.txt", "--steps-per-unit", "80"},
                ExitStatus::BadInput,
                "bad.ngc: line 2: not G-code that chimex-cli reads: \"G91\""},
        Refusal{"FinishZeroFilled",
                {"finish", "@zeros.txt", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "zeros.txt: nothing but NUL bytes"},
        Refusal{"FinishGcode",
                {"finish", "@bad.ngc", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "bad.ngc: G-code, not a journal"},
        Refusal{"VoicesWithoutGcode",
                {"render", "@good.txt", "-o", "@out.txt", "--voices", "2"},
                ExitStatus::Usage,
                "--voices 2 goes with --format gcode"},
        Refusal{"VoicesWithAccelInWholeSteps",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--voices", "3", "--accel", "500"},
                ExitStatus::Usage,
                "--accel for GRBL needs --steps-per-unit"},
        Refusal{"EmptyOutputName",
                {"render", "@good.txt", "-o", ""},
                ExitStatus::Usage,
                "-o needs a file name"},
        Refusal{"StepsThatLoseEveryNote",
                {"render", "@good.txt", "-o", "@out.txt", "--steps-per-unit", "1e9"},
                ExitStatus::Usage,
                "--steps-per-unit 1e9 is too many: key 0 would jog under 0.001 units"},
        // --accel: a number above 0, only for G-code, whole steps for GRBL and Marlin.
        Refusal{"AccelZero",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect",
                 "linuxcnc", "--unit", "mm", "--accel", "0"},
                ExitStatus::Usage,
                "--accel takes a number above 0"},
        Refusal{"AccelNoNoteCanUse",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect",
                 "linuxcnc", "--unit", "mm", "--accel", "1e-300"},
                ExitStatus::Usage,
                "--accel 1e-300 is too low for this score: its ramps leave no note time"},
        Refusal{"AccelNaN",
                {"convert", "@part.txt", "-o", "@out.txt", "--dialect", "linuxcnc", "--unit", "mm",
                 "--accel", "nan"},
                ExitStatus::Usage,
                "--accel takes a number above 0"},
        Refusal{"ZAccelInfinite",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect",
                 "linuxcnc", "--unit", "mm", "--accel", "500", "--z-accel", "inf"},
                ExitStatus::Usage,
                "--z-accel takes a number above 0"},
        Refusal{"NegativeJunctionDeviation",
                {"render", "@good.txt", "-o", "@out.txt", "--format", "gcode", "--dialect", "grbl",
                 "--unit", "mm", "--steps-per-unit", "80", "--accel", "500", "--junction-deviation",
                 "-0.01"},
                ExitStatus::Usage,
                "--junction-deviation takes a number above 0"},
        Refusal{"AccelForAPartFile",
                {"render", "@good.txt", "-o", "@out.txt", "--accel", "500"},
                ExitStatus::Usage,
                "--accel goes with --format gcode"},
        Refusal{"GrblAccelWithoutSteps",
                {"convert", "@part.txt", "-o", "@out.txt", "--dialect", "grbl", "--unit", "mm",
                 "--accel", "500"},
                ExitStatus::Usage,
                "--accel for GRBL needs --steps-per-unit"},
        Refusal{"IdleDelayWithoutAccel",
                {"convert", "@part.txt", "-o", "@out.txt", "--dialect", "grbl", "--unit", "mm",
                 "--step-idle-delay", "0.1"},
                ExitStatus::Usage,
                "--step-idle-delay goes with --accel"},
        Refusal{"CheckZeroAccel",
                {"check", "@part.txt", "--accel", "0"},
                ExitStatus::Usage,
                "--accel takes a number above 0"},
        Refusal{
            "ListenZAccelAlone",
            {"listen", "@part.txt", "-o", "@out.wav", "--steps-per-unit", "80", "--z-accel", "50"},
            ExitStatus::Usage,
            "--z-accel goes with --accel"},
        Refusal{"CheckJunctionDeviation",
                {"check", "@part.txt", "--accel", "500", "--junction-deviation", "0.01"},
                ExitStatus::Usage,
                "--junction-deviation and --step-idle-delay are for grbl and marlin G-code"},
        Refusal{
            "KlipperMachineInInches",
            {"render", "@good.txt", "-o", "@out.nc", "--machine", "@klipper.cfg", "--unit", "in"},
            ExitStatus::Usage,
            "Klipper works in millimetres"},
        Refusal{"XStepsWithoutY",
                {"render", "@good.txt", "-o", "@out.txt", "--x-steps-per-unit", "80"},
                ExitStatus::Usage,
                "--x-steps-per-unit needs --y-steps-per-unit"},
        Refusal{"ServoPeriodForGrbl",
                {"render", "@good.txt", "-o", "@out.nc", "--machine", "@grbl.txt", "--servo-period",
                 "0.001"},
                ExitStatus::Usage,
                "--servo-period is LinuxCNC's; GRBL has none"},
        Refusal{"MachineIsTheOutput",
                {"render", "@good.txt", "-o", "@grbl.txt", "--machine", "@grbl.txt"},
                ExitStatus::Usage,
                "is the input"},
        Refusal{"EmptyChannel",
                {"render", "@one.mid", "-o", "@out.txt", "--channel", "16"},
                ExitStatus::BadInput,
                "one.mid: no notes in the chosen --track and --channel"},
        Refusal{"CheckEndlessLine",
                {"check", "/dev/zero"},
                ExitStatus::BadInput,
                "line 1: the line is longer than 4096 characters"},
        Refusal{"RenderEndlessLine",
                {"render", "/dev/zero", "-o", "@out.txt"},
                ExitStatus::BadInput,
                "line 1: the line is longer than 4096 characters"},
        Refusal{"CheckRandomBytes",
                {"check", "/dev/urandom"},
                ExitStatus::BadInput,
                "a NUL byte: this is not a text file"},
        Refusal{"RenderHelp", {"render", "--help"}, ExitStatus::Done, ""},
        Refusal{"UnwritableOutput",
                {"render", "@good.txt", "-o", "@no/out.txt"},
                ExitStatus::OutputFailure,
                "Cannot create"}),
    [](const auto& info) { return info.param.name; });

TEST_F(CommandLine, VersionNamesTheProgram) {
    EXPECT_EQ(run({"--version"}), ExitStatus::Done);
    EXPECT_EQ(out.str(), "chimex-cli (Chimex Vedadazu) 1.0.0.0\n");
}

TEST_F(CommandLine, HelpDocumentsEveryCommandInOrderAndEveryExitStatus) {
    EXPECT_EQ(run({"--help"}), ExitStatus::Done);
    std::size_t at = 0;
    for (const char* part :
         {"  chimex-cli render SCORE", "  chimex-cli convert PART", "  chimex-cli check PART",
          "  chimex-cli preview PART", "  chimex-cli listen PART", "  chimex-cli finish JOURNAL",
          "\nrender  Plays", "\nconvert Writes", "\ncheck, preview and listen also read",
          "\ncheck   Replays", "\npreview Draws", "\nlisten  Writes", "\nfinish  Turns"}) {
        at = out.str().find(part, at);
        ASSERT_NE(at, std::string::npos) << part;
    }
    for (const char* line : {"  0  done", "  1  check", "  2  the command line", "  3  render",
                             "  4  the input", "  5  the output"}) {
        EXPECT_THAT(out.str(), HasSubstr(line));
    }
}

} // namespace
} // namespace chimex
