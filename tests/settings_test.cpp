// SPDX-License-Identifier: MIT
#include "fake_settings_view.h"
#include "files/failure.h"
#include "platform/fake/fake_platform.h"
#include "scratch_folder.h"
#include "settings/numeric_value.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace chimex;
using chimex::test::FakeSettingsView;
using chimex::test::folderEntries;
using chimex::test::readFile;
using chimex::test::ScratchFolder;
using chimex::test::UnprivilegedRunner;
using chimex::test::writeFile;
using ::testing::AllOf;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

TEST(NumericValue, ReadsTheLeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},
        {"ten", 0},
        {"96", 96},
        {"2.5", 2.5},
        {"12,5", 12},
        {"12 inches", 12},
        {"1 2 3", 123},
        {" \t\n4\n2", 42},
        {"-3", -3},
        {"+3", 3},
        {"- 3", -3},
        {".5", 0.5},
        {"5.", 5},
        {"-.25", -0.25},
        {"1.2.3", 1.2},
        {".", 0},
        {"-", 0},
        {"+-3", 0},
        {"1E3", 1000},
        {"1e-2", 0.01},
        {"2.5D2", 250},
        {"2.5d+2", 250},
        {"1E", 1},
        {"1E+", 1},
        {"E5", 0},
        {"1.234568E+07", 12345680},
        {"1E-05", 0.00001},
        {"3x4", 3},
        {"1E 0 2", 100},
        {"0.0000001e7", 1},
        {"\r5", 0},
        {"007", 7},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(numericValue(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(NumericValue, BeyondTheRangeOfADouble) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(numericValue("1E400"), inf);
    EXPECT_EQ(numericValue("-1E99999999999999999999"), -inf);
    EXPECT_EQ(numericValue("1E-400"), 0.0);
    EXPECT_EQ(numericValue("0E999999"), 0.0);
    EXPECT_EQ(numericValue("0.001E-999999"), 0.0);
    EXPECT_EQ(numericValue(std::string(400, '9')), inf);
    EXPECT_DOUBLE_EQ(numericValue(std::string(400, '9') + "E-399"), 10.0);
}

TEST(NumericValue, SingleRange) {
    EXPECT_EQ(toSingle(1E39), std::nullopt);
    EXPECT_EQ(toSingle(-1E39), std::nullopt);
    EXPECT_EQ(toSingle(numericValue("1E400")), std::nullopt);
    EXPECT_EQ(toSingle(3.4E38), 3.4E38f);
    EXPECT_EQ(toSingle(1E-50), 0.0f);
    EXPECT_EQ(toSingle(2.5), 2.5f);
}

struct ReadResult {
    ProgramState state;
    FakeSettingsView view{state};
};

TEST(SettingsReader, LinesAndValues) {
    using Fields = std::array<std::string, 5>;
    struct Case {
        const char* name;
        std::string text;
        Fields fields;
        int pause;
        std::vector<std::string> refused = {};
    };
    const Fields zeros{"0", "0", "0", "0", "0"};
    const Case cases[] = {
        {"empty file", "", zeros, 0},
        {"only ADdPause", "ADdPause = 1\r\n", zeros, 1},
        {"the writer's own lines",
         "MaxX = 96\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\nADdPause = "
         "2\r\n",
         {"96", "48", "6", "3", "2"},
         2},
        {"lower case and spaces", "  maxxyspeed   =   4  \r\n", {"0", "0", "0", "4", "0"}, 0},
        {"key after a tab is not recognised", "\tMaxX = 5\r\nMaxY\t= 5\r\n", zeros, 0},
        {"unknown keys", "Foo = 5\r\nFoo\r\n= 5\r\nMax X = 5\r\n", zeros, 0},
        {"two =", "MaxZ = 7 = 9\r\n", {"0", "0", "7", "0", "0"}, 0},
        {"value pieces",
         "MaxX = 12 inches\r\nMaxY = 12,5\r\nMaxZ = 1 2 3\r\nMAxXYSpeed = ten\r\n",
         {"12", "12", "123", "0", "0"},
         0},
        {"exponent notation",
         "MaxX = 1.234568E+07\r\nMaxY = 1E-05\r\nMaxZ = 2.5D2\r\n",
         {"1.234568E+07", "1E-05", "250", "0", "0"},
         0},
        {"last occurrence wins", "MaxX = 1\r\nMaxX = 2\r\n", {"2", "0", "0", "0", "0"}, 0},
        {"recognised key without = is skipped",
         "MaxX = 3\r\nMaxX\r\nMAXX 4\r\n",
         {"3", "0", "0", "0", "0"},
         0},
        // Shown as written, so that closing the dialog refuses them as it refuses them typed.
        {"beyond single range is shown as written and named",
         "MaxX = 3\r\nMaxX = 1E39\r\nMAXXYSPEED = -1e39\r\nMaxY = 1E39\r\nMaxY = 2\r\n",
         {"1E39", "2", "0", "-1e39", "0"},
         0,
         {"MaxX", "MAxXYSpeed", "MaxY"}},
        {"zero and negative are taken",
         "MaxX = 5\r\nMaxX = -1\r\nMaxY = 0\r\nMaxZ = -5\r\nMAxXYSpeed = -0.732\r\n",
         {"-1", "0", "-5", "-0.732", "0"},
         0},
        {"byte-order mark", "\xEF\xBB\xBFMaxX = 5\r\n", {"5", "0", "0", "0", "0"}, 0},
        {"lines ended by CR alone",
         "MaxX = 4\rMaxY = 5\rMaxZ = 6\rMAxXYSpeed = 7\rMAxZSpeed = 8\r",
         {"4", "5", "6", "7", "8"},
         0},
        {"last line without line end", "MaxX = 4\r\nMaxY = 5", {"4", "5", "0", "0", "0"}, 0},
        {"CR LF, LF and CR mixed",
         "MaxX = 4\nMaxY = 5\r\nMaxZ = 6\rMAxXYSpeed = 7\n\nMAxZSpeed = 8",
         {"4", "5", "6", "7", "8"},
         0},
        {"ADDPAUSE 0.5 rounds to 0", "ADdPause = 1\r\nADdPause = 0.5\r\n", zeros, 0},
        {"ADDPAUSE 1.5 rounds to 2", "ADdPause = 1.5\r\n", zeros, 2},
        {"ADDPAUSE 2.5 rounds to 2", "ADdPause = 2.5\r\n", zeros, 2},
        {"ADDPAUSE -0.5 rounds to 0", "ADdPause = 1\r\nADdPause = -0.5\r\n", zeros, 0},
        {"ADDPAUSE outside 0 to 2 is skipped",
         "ADdPause = 1\r\nADdPause = 3\r\nADdPause = -1\r\nADdPause = 1E300\r\nADdPause = "
         "1E400\r\n",
         zeros, 1},
    };
    for (const auto& c : cases) {
        ReadResult r;
        std::istringstream in(c.text);
        EXPECT_EQ(readSettings(in, r.state, r.view), c.refused) << c.name;
        EXPECT_EQ(r.view.texts, c.fields) << c.name;
        EXPECT_EQ(r.view.pause, c.pause) << c.name;
        EXPECT_EQ(r.state.PauseMode, -1) << c.name << ": the dialog was loaded";
    }
}

class SettingsFiles : public ::testing::Test {
  protected:
    ScratchFolder scratch;
    FakePlatform platform;
    ProgramState state;
    FakeSettingsView view{state};
    fs::path file = scratch.path() / "Chimex.ini";

    void SetUp() override {
        platform.folder = scratch.path();
        platform.useRealFiles = true;
    }
};

TEST_F(SettingsFiles, NoFileTouchesNothing) {
    readSettingsFile(state, platform, view);
    EXPECT_EQ(view.loadSteps, 0);
    EXPECT_EQ(state.PauseMode, 0);
    EXPECT_EQ(view.texts[0], "96");
}

TEST_F(SettingsFiles, ExistingFileLoadsTheDialog) {
    writeFile(file, "MaxY = 30\r\n");
    readSettingsFile(state, platform, view);
    EXPECT_EQ(state.PauseMode, -1);
    EXPECT_EQ(state.MaxY, 30.0f);
    EXPECT_EQ(view.texts, (std::array<std::string, 5>{"0", "30", "0", "0", "0"}));
}

TEST_F(SettingsFiles, WhatIsNoOrdinaryFileFailsWithItsReasonAndIsNotReplaced) {
    struct Case {
        std::function<void()> make;
        const char* reason;
    };
    const Case cases[] = {
        {[&] { ::mkfifo(file.c_str(), 0600); }, "not an ordinary file"},
        {[&] { fs::create_directory(file); }, "it is a folder"},
        {[&] { fs::create_symlink("missing.ini", file); }, "a link to a file that does not exist"},
        {[&] { fs::create_symlink("Chimex.ini", file); }, "Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        c.make();
        try {
            readSettingsFile(state, platform, view);
            ADD_FAILURE() << c.reason;
        } catch (const InputFailure& failure) {
            EXPECT_THAT(failure.what(), AllOf(HasSubstr("Chimex.ini"), HasSubstr(c.reason)));
        }
        EXPECT_THROW(writeSettingsFile(state, platform, 0), Failure) << c.reason;
        fs::remove(file);
    }
}

TEST_F(SettingsFiles, RunningOutOfOpenFilesIsNamedAsSuch) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers open files of their own to check a call";
#endif
    writeFile(file, "MaxY = 30\r\n");
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit few{32, 32};
        ::setrlimit(RLIMIT_NOFILE, &few);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        std::string message;
        try {
            readSettingsFile(state, platform, view);
        } catch (const Failure& failure) {
            message = failure.what();
        }
        ::_exit(message.find("Chimex.ini") != std::string::npos &&
                        message.find("Too many open files: the program has all 32") !=
                            std::string::npos
                    ? 0
                    : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(SettingsFiles, ReadBackWhatTheWriterWrote) {
    writeFile(file, "old content that is replaced whole");
    state.MaxX = 0.3658537f;
    state.MaxY = 12345678;
    state.MaxZ = 0.00001f;
    state.MaxXYSpeed = 2.5f;
    state.MaxZSpeed = 0;
    writeSettingsFile(state, platform, 2);

    ProgramState readBack;
    FakeSettingsView readView(readBack);
    readSettingsFile(readBack, platform, readView);
    EXPECT_EQ(readView.texts,
              (std::array<std::string, 5>{"0.3658537", "1.234568E+07", "1E-05", "2.5", "0"}));
    EXPECT_EQ(readView.pause, 2);
}

TEST_F(SettingsFiles, WriterFailureNamesTheFileAndKeepsTheOldOne) {
    writeFile(file, "MaxX = 5\r\n");
    fs::permissions(file, fs::perms(0444));
    try {
        writeSettingsFile(state, platform, 0);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_THAT(failure.what(), AllOf(HasSubstr("Chimex.ini"), HasSubstr("read-only")));
    }
    EXPECT_EQ(readFile(file), "MaxX = 5\r\n");

    // A settings folder that cannot be made (a file stands in its way) fails naming the folder.
    platform.folder = file / "below";
    try {
        writeSettingsFile(state, platform, 0);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("Cannot create the folder"));
    }
}

TEST(SettingsWriterPermissions, ProgramFolderNotWritable) {
    ScratchFolder scratch;
    UnprivilegedRunner runner(scratch);
    if (!runner.unavailable().empty()) {
        GTEST_SKIP() << runner.unavailable();
    }
    const fs::path program = scratch.folder("program", fs::perms(0755));
    writeFile(program / "Chimex.ini", "MaxX = 5\r\n");
    fs::permissions(program, fs::perms(0555));
    const auto result = runner.run({"save-settings", program.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("Cannot save the settings file"));
    EXPECT_THAT(result.output, HasSubstr("Chimex.ini"));
    EXPECT_EQ(readFile(program / "Chimex.ini"), "MaxX = 5\r\n");
    EXPECT_EQ(folderEntries(program), std::vector<std::string>{"Chimex.ini"});
}

using SettingsCommit = SettingsFiles;

/// MaxX, MaxY, MaxZ, MaxXYSpeed, MaxZSpeed and BaseSpeed.
std::array<float, 6> settingsOf(const ProgramState& s) {
    return {s.MaxX, s.MaxY, s.MaxZ, s.MaxXYSpeed, s.MaxZSpeed, s.BaseSpeed};
}

TEST_F(SettingsCommit, InitialValues) {
    state.HighX = state.HighY = state.HighZ = 5;
    state.LowX = state.LowY = state.LowZ = 1;
    state.CurX = 7;
    commitSettings(state, platform, platform, view, view.texts);
    EXPECT_EQ(settingsOf(state),
              (std::array{96.0f, 48.0f, 6.0f, 3.0f, 2.0f, static_cast<float>(3.0 / 8.2)}));
    for (float extent :
         {state.HighX, state.HighY, state.HighZ, state.LowX, state.LowY, state.LowZ}) {
        EXPECT_EQ(extent, 0.0f);
    }
    EXPECT_EQ(state.CurX, 7.0f);
    EXPECT_EQ(state.PauseMode, -1);
    EXPECT_EQ(readFile(file), "MaxX = 96\r\nMaxY = 48\r\nMaxZ = 6\r\nMAxXYSpeed = 3\r\n"
                              "MAxZSpeed = 2\r\nADdPause = 0\r\n");
    EXPECT_EQ(folderEntries(scratch.path()), std::vector<std::string>{"Chimex.ini"});
}

TEST_F(SettingsCommit, PauseBox) {
    struct Case {
        int box;
        int pauseMode;
    };
    for (const Case c : {Case{0, -1}, Case{1, 1}, Case{2, -1}}) {
        ProgramState s;
        FakeSettingsView v(s);
        v.pause = c.box;
        commitSettings(s, platform, platform, v, v.texts);
        EXPECT_EQ(s.PauseMode, c.pauseMode) << c.box;
        EXPECT_THAT(readFile(file), HasSubstr("ADdPause = " + std::to_string(c.box) + "\r\n"));
    }
}

TEST_F(SettingsCommit, FieldTexts) {
    const std::array<std::string, 5> opened{initialFieldTexts[0], initialFieldTexts[1],
                                            initialFieldTexts[2], initialFieldTexts[3],
                                            initialFieldTexts[4]};
    view.texts = {"", "12,5", "-2.5", "abc", "0"};
    commitSettings(state, platform, platform, view, opened);
    EXPECT_EQ(settingsOf(state),
              (std::array{0.0f, 12.0f, -2.5f, 3.0f, 0.0f, static_cast<float>(3.0 / 8.2)}));
    EXPECT_EQ(readFile(file), "MaxX = 0\r\nMaxY = 12\r\nMaxZ = -2.5\r\nMAxXYSpeed = 3\r\n"
                              "MAxZSpeed = 0\r\nADdPause = 0\r\n");
}

TEST_F(SettingsCommit, RefusedValueKeepsWhatTheDialogOpenedWith) {
    struct Case {
        std::array<std::string, 5> opened;
        std::array<std::string, 5> typed;
        std::array<float, 5> committed;
        std::vector<const char*> named;
    };
    const Case cases[] = {
        {{"50", "48", "5", "4.1", "1.5"},
         {"1E39", "-5", "-1", std::string(400, '9'), "0"},
         {50, -5, -1, 4.1f, 0},
         {"MaxX: \"1E39\" is too large, keeps 50",
          "MaxXYSpeed: \"9999999999999999999999999999999999999999...\" is too large, keeps 4.1"}},
        // Opened with a speed not above 0 (a file saying so): the initial 3 is kept.
        {{"1E39", "48", "6", "0", "2"},
         {"-1E39", "48", "6", "-0.732", "2"},
         {96, 48, 6, 3, 2},
         {"MaxX: \"-1E39\" is too large, keeps 96",
          "MaxXYSpeed: \"-0.732\" is not above 0, keeps 3"}},
    };
    for (const auto& c : cases) {
        ProgramState s;
        FakeSettingsView v(s);
        v.texts = c.typed;
        platform.messages.clear();
        commitSettings(s, platform, platform, v, c.opened);
        EXPECT_EQ((std::array{s.MaxX, s.MaxY, s.MaxZ, s.MaxXYSpeed, s.MaxZSpeed}), c.committed);
        ASSERT_EQ(platform.messages.size(), 1u);
        for (const char* named : c.named) {
            EXPECT_THAT(platform.messages[0].prompt, HasSubstr(named));
        }
    }
}

TEST_F(SettingsCommit, WriterFailureReachesTheCaller) {
    writeFile(file, "");
    platform.folder = file / "below";
    EXPECT_THROW(commitSettings(state, platform, platform, view, view.texts), Failure);
    EXPECT_EQ(state.MaxX, 96.0f) << "the settings are committed before the file is written";
}

} // namespace
