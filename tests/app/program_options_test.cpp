// SPDX-License-Identifier: MIT
#include "app/program_help.h"
#include "app/program_options.h"
#include "app/start_up.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace chimex;

namespace {

struct Arguments {
    std::vector<const char*> given;
    const char* problem; ///< a part of the problem's text, or nullptr when there is none
};

TEST(ProgramOptions, OwnAndQtOptionsPassOthersAreRefused) {
    const Arguments table[] = {
        {{}, nullptr},
        {{"--midi-in", "USB"}, nullptr},
        {{"--list-midi"}, nullptr},
        {{"-platform", "offscreen", "--style=Fusion", "-reverse"}, nullptr},
        {{"--machine", "grbl:/dev/ttyUSB0", "--midi-in=USB"}, nullptr},
        {{"--machine=linuxcnc:mill:5007"}, nullptr},
        {{"--machine", "klipper:/tmp/printer"}, nullptr}, // refused by name when live play starts
        {{"--machine", "/etc/mill.ini", "--machine", "linuxcnc:mill"}, nullptr},
        {{"--machine", "grbl:/dev/ttyUSB0", "--machine", "linuxcnc:mill"},
         "given twice with a link"},
        {{"--machine", "a.ini", "--machine", "b.ini"}, "given twice with a settings file"},
        {{"--midi-in"}, "needs the name"},
        {{"--machine"}, "--machine needs a link such as grbl:/dev/ttyUSB0"},
        {{"--machine", "/dev/ttyUSB0"}, "a settings file is taken only beside a link"},
        {{"--verbose"}, "unknown argument \"--verbose\""},
        {{"song.gxp"}, "unknown argument \"song.gxp\""},
        {{"-platform", "offscreen", "-x"}, "unknown argument \"-x\""},
    };
    for (const auto& row : table) {
        std::vector<const char*> argv{"chimex"};
        argv.insert(argv.end(), row.given.begin(), row.given.end());
        const ProgramOptions options =
            readProgramOptions(static_cast<int>(argv.size()), argv.data());
        const std::string shown = argv.size() > 1 ? argv[1] : "(none)";
        if (row.problem == nullptr) {
            EXPECT_FALSE(options.problem) << shown << ": " << options.problem.value_or("");
        } else {
            EXPECT_NE(options.problem.value_or("").find(row.problem), std::string::npos) << shown;
        }
    }
}

TEST(ProgramOptions, HelpThatCannotBeWrittenFails) {
    char name[] = "chimex";
    char help[] = "--help";
    char* argv[] = {name, help};
    std::ostringstream full;
    full.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(answerHelp(2, argv, full, err), 1);
    EXPECT_NE(err.str().find("chimex: cannot write the help"), std::string::npos) << err.str();
    std::ostringstream out;
    EXPECT_EQ(answerHelp(2, argv, out, err), 0);
    EXPECT_EQ(answerHelp(1, argv, out, err), std::nullopt);
}

TEST(StateFolderRefusal, AFolderThatCannotBeUsedIsNotAnotherCopy) {
    const test::ScratchFolder scratch;
    const std::filesystem::path file = scratch.path() / "state";
    test::writeFile(file, "");
    std::error_code made;
    std::filesystem::create_directories(file, made);
    const FolderLock onAFile(file);
    const auto refusal = stateFolderRefusal(file, made, onAFile);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->title, "Cannot start");
    EXPECT_NE(refusal->prompt.find(file.string()), std::string::npos) << refusal->prompt;

    const FolderLock first(scratch.path());
    EXPECT_FALSE(stateFolderRefusal(scratch.path(), {}, first));
    const FolderLock second(scratch.path());
    EXPECT_EQ(stateFolderRefusal(scratch.path(), {}, second).value().title, "Already running");
}

} // namespace
