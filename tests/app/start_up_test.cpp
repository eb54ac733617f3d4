// SPDX-License-Identifier: MIT
#include "app/start_up.h"
#include "app/tune_file_check.h"
#include "fake_modal_settings_view.h"
#include "files/failure.h"
#include "platform/fake/fake_platform.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

using namespace chimex;
namespace fs = std::filesystem;

namespace {

using test::readFile;
using test::writeFile;

class StartUp : public testing::Test {
  protected:
    void SetUp() override {
        platform.folder = folder;
        platform.useRealFiles = true;
    }

    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        for (const auto& m : platform.messages) {
            result.push_back(m.title);
        }
        return result;
    }

    test::ScratchFolder scratch;
    fs::path folder = scratch.path();
    FakePlatform platform;
    ProgramState state;
    FakeModalSettingsView form{state, platform};
};

} // namespace

TEST_F(StartUp, CancelEndsTheProgramWithNothingReadOrWritten) {
    writeFile(folder / "Chimex.ini", "MaxX = 5\r\n");
    EXPECT_FALSE(runStartUp(state, platform, form));
    EXPECT_EQ(titles(), std::vector<std::string>{"Try Again"});
    EXPECT_EQ(platform.messages[0].prompt, tryAgainPrompt);
    EXPECT_EQ(platform.messages[0].style, MessageStyle::Ok);
    EXPECT_EQ(state.StartStatus, 1);
    EXPECT_EQ(platform.endProgramCalls, 1);
    EXPECT_EQ(form.loadSteps, 0);
    EXPECT_TRUE(platform.soundsPreloaded.empty());
    EXPECT_EQ(state.MaxX, 0.0f);
    EXPECT_EQ(readFile(folder / "Chimex.ini"), "MaxX = 5\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(StartUp, ExistingFileNoThenCancelTakesTheFailurePath) {
    const fs::path tune = folder / "old.gxp";
    writeFile(tune, "old tune");
    platform.dialogAnswers = {tune, std::nullopt};
    platform.buttonPresses = {MessageButton::No};
    EXPECT_FALSE(runStartUp(state, platform, form));
    EXPECT_EQ(titles(), (std::vector<std::string>{"File exists!", "Try Again"}));
    EXPECT_EQ(platform.messages[0].prompt, fileExistsPrompt);
    EXPECT_EQ(platform.messages[0].style, MessageStyle::YesNo);
    ASSERT_EQ(platform.dialogsShown.size(), 2u);
    for (const auto& shown : platform.dialogsShown) {
        // Each showing starts again in the program folder with the name "Chimex".
        EXPECT_EQ(shown.title, "Select a name for your tune");
        EXPECT_EQ(shown.initialFolder, folder);
        EXPECT_EQ(shown.filterDescription, " Gantrix (*.gxp)");
        EXPECT_EQ(shown.filterPattern, "*.gxp");
        EXPECT_EQ(shown.fileName, "Chimex");
    }
    EXPECT_EQ(state.StartStatus, 1);
    EXPECT_EQ(platform.endProgramCalls, 1);
    EXPECT_EQ(readFile(tune), "old tune");
    EXPECT_FALSE(fs::exists(folder / "Chimex.ini"));
}

TEST_F(StartUp, ExistingFileYesKeepsItsContentUntilTheSettingsClose) {
    const fs::path tune = folder / "old.gxp";
    writeFile(tune, "old tune");
    platform.dialogAnswers = {tune};
    platform.buttonPresses = {MessageButton::Yes};
    state.TopXYSpeed = 4;
    state.TopZSpeed = 5;
    std::string duringDialog;
    std::size_t soundsDuringDialog = 0;
    form.whileShown = [&] {
        duringDialog = readFile(tune);
        soundsDuringDialog = platform.soundsPreloaded.size();
    };

    EXPECT_TRUE(runStartUp(state, platform, form));
    EXPECT_EQ(duringDialog, "old tune");
    EXPECT_EQ(soundsDuringDialog, 37u);
    EXPECT_EQ(platform.soundsPreloaded.back(), folder / "notes" / "36.wav");
    EXPECT_EQ(state.StartStatus, 9);
    EXPECT_EQ(state.TuneFile, tune.string());
    EXPECT_TRUE(state.TuneStream.isOpen());
    EXPECT_EQ(state.TopXYSpeed, 0.0f);
    EXPECT_EQ(state.TopZSpeed, 0.0f);
    EXPECT_EQ(state.PauseMode, -1);
    EXPECT_EQ(state.MaxX, 96.0f);
    EXPECT_EQ(form.loadSteps, 1);
    EXPECT_EQ(form.shows, 1);
    EXPECT_EQ(platform.endProgramCalls, 0);
    state.TuneStream.close();
    EXPECT_EQ(readFile(tune), "");
    EXPECT_TRUE(fs::exists(folder / "Chimex.ini"));
}

TEST_F(StartUp, NameWithoutExtensionIsUsedAsTyped) {
    platform.dialogAnswers = {folder / "mytune"};
    EXPECT_TRUE(runStartUp(state, platform, form));
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(state.TuneFile, (folder / "mytune").string());
    state.TuneStream.close();
    EXPECT_TRUE(fs::is_regular_file(folder / "mytune"));
    EXPECT_FALSE(fs::exists(folder / "mytune.gxp"));
}

TEST_F(StartUp, SettingsFileFillsTheDialogBeforeItShows) {
    writeFile(
        folder / "Chimex.ini",
        "MaxX = 200\r\nMaxY = 100\r\nMaxZ = 8\r\nMAxXYSpeed = 4\r\nMAxZSpeed = 1\r\nADdPause = "
        "1\r\n");
    platform.dialogAnswers = {folder / "t.gxp"};
    std::string shownX;
    form.whileShown = [&] {
        shownX = form.texts[0];
    };
    EXPECT_TRUE(runStartUp(state, platform, form));
    EXPECT_EQ(shownX, "200");
    EXPECT_EQ(state.MaxX, 200.0f);
    EXPECT_EQ(state.PauseMode, 1);
    EXPECT_EQ(form.loadSteps, 1);
}

TEST_F(StartUp, ASettingTooLargeIsNamedAtTheCommitAndNotSavedAsZero) {
    writeFile(folder / "Chimex.ini", "MaxX = 1e400\r\nMaxY = 30\r\n");
    platform.dialogAnswers = {folder / "t.gxp"};
    EXPECT_TRUE(runStartUp(state, platform, form));
    EXPECT_EQ(titles(), std::vector<std::string>{"Tool Settings"});
    EXPECT_NE(platform.messages[0].prompt.find("MaxX: \"1e400\" is too large, keeps 96"),
              std::string::npos)
        << platform.messages[0].prompt;
    EXPECT_EQ(state.MaxX, 96.0f);
    EXPECT_EQ(readFile(folder / "Chimex.ini").substr(0, 22), "MaxX = 96\r\nMaxY = 30\r\n");
}

TEST_F(StartUp, AFailingDialogTakesTheFailurePath) {
    platform.failing = {"saveFileDialog"};
    EXPECT_FALSE(runStartUp(state, platform, form));
    EXPECT_EQ(titles(), std::vector<std::string>{"Try Again"});
    EXPECT_NE(platform.messages[0].prompt.find("saveFileDialog"), std::string::npos);
    EXPECT_TRUE(platform.messages[0].prompt.ends_with(tryAgainPrompt));
    EXPECT_EQ(state.StartStatus, 1);
}

TEST_F(StartUp, ATuneFileThatCannotBeOpenedIsAFailure) {
    platform.dialogAnswers = {folder / "no such folder" / "t.gxp"};
    try {
        runStartUp(state, platform, form);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find("for writing: No such file or directory"),
                  std::string::npos)
            << failure.what();
    }
    EXPECT_TRUE(fs::exists(folder / "Chimex.ini")); // the settings were saved before
}

TEST_F(StartUp, PathsThatCannotHoldATuneAreRefusedAndTheDialogShownAgain) {
    const fs::path good = folder / "good.gxp";
    writeFile(folder / "Chimex.ini", "MaxX = 5\r\n");
    writeFile(folder / "locked.gxp", "kept");
    fs::permissions(folder / "locked.gxp", fs::perms(0444));
    fs::create_directory(folder / "sub.gxp");
    fs::create_symlink("/dev/zero", folder / "zero.gxp");
    const std::string fifo = (folder / "fifo.gxp").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder / "notes");
    writeFile(folder / "notes" / "0.wav", "RIFF");
    writeFile(folder / "chimex-cli", "\x7f"
                                     "ELF");
    writeFile(folder / "start.sh", "#!/bin/sh\n");
    fs::permissions(folder / "chimex-cli", fs::perms(0755));
    fs::permissions(folder / "start.sh", fs::perms(0700));

    for (const char* name :
         {"Chimex.ini", "Chimex.tmp", "locked.gxp", "sub.gxp", "zero.gxp", "fifo.gxp",
          "notes/0.wav", "notes/new.gxp", "chimex-cli", "start.sh"}) {
        ProgramState s;
        FakePlatform p;
        p.folder = folder;
        p.useRealFiles = true;
        p.dialogAnswers = {folder / name, good};
        chooseTuneFile(s, p);
        ASSERT_EQ(p.messages.size(), 1u) << name;
        EXPECT_EQ(p.messages[0].title, cannotUseTitle) << name;
        const std::string named = name == std::string("zero.gxp") ? "/dev/zero" : name;
        EXPECT_NE(p.messages[0].prompt.find(named), std::string::npos) << p.messages[0].prompt;
        EXPECT_EQ(s.TuneFile, good.string()) << name;
    }
    // A part file on a file system that marks every file runnable is no program.
    writeFile(good, "' Gantrix part file\r\n");
    fs::permissions(good, fs::perms(0755));
    platform.dialogAnswers = {good};
    chooseTuneFile(state, platform);
    EXPECT_EQ(titles(), std::vector<std::string>{fileExistsTitle});
    EXPECT_EQ(readFile(folder / "Chimex.ini"), "MaxX = 5\r\n");
}

TEST_F(StartUp, ATuneAnotherCopyPlaysIsRefusedWhenChosenOrWhenMade) {
    const fs::path played = folder / "played.gxp";
    writeFile(played, "\r\nJS, 1.463\r\n");
    const fs::path fresh = folder / "fresh.gxp";
    platform.lockedElsewhere = {played, fresh};
    platform.dialogAnswers = {played, fresh};
    try {
        runStartUp(state, platform, form);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_NE(std::string(failure.what()).find("another copy"), std::string::npos);
    }
    EXPECT_EQ(titles(), std::vector<std::string>{cannotUseTitle}) << "not \"Unfinished tune\"";
    EXPECT_NE(platform.messages[0].prompt.find("another copy"), std::string::npos);
    EXPECT_EQ(readFile(played), "\r\nJS, 1.463\r\n");
    EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(StartUp, ALinkIsFollowedOnceSoTheFinishedFileReplacesItsTarget) {
    fs::create_directory(folder / "real");
    fs::create_symlink("real/tune.gxp", folder / "link.gxp");
    platform.dialogAnswers = {folder / "link.gxp"};
    chooseTuneFile(state, platform);
    EXPECT_EQ(state.TuneFile, (folder / "real" / "tune.gxp").string());
}

TEST_F(StartUp, AJournalLeftByACrashIsNamedWithTheCommandThatFinishesIt) {
    const fs::path tune = folder / "crashed.gxp";
    const std::string journal = "\r\nJS, 1.463\r\n' note duration = 0.5\r\nJ3, .732\r\n";
    writeFile(tune, journal);
    platform.dialogAnswers = {tune, std::nullopt};
    platform.buttonPresses = {MessageButton::Ok, MessageButton::No};
    EXPECT_FALSE(runStartUp(state, platform, form));
    EXPECT_EQ(titles(), (std::vector<std::string>{unfinishedTitle, "File exists!", "Try Again"}));
    EXPECT_NE(platform.messages[0].prompt.find("chimex-cli finish \"" + tune.string() + "\""),
              std::string::npos)
        << platform.messages[0].prompt;
    EXPECT_EQ(readFile(tune), journal);
}

TEST(LeftoverJournal, OnlyTheProgramsOwnJournalLinesCount) {
    const std::pair<const char*, bool> starts[] = {
        {"\r\nJS, 1.463\r\n' note duration = 0.5\r\nJ3, .732\r\n", true},
        {"\r\nJS,, 1.463\r\n' note duration = 0.5\r\nJ3,,, .732\r\n", true},
        {"PAUSE, .250\r\n", true},
        {"\r\nDear diary,\r\n", false},
        {"\n\nJS, 1\n", false},
        {"PAUSE 2\r\n", false},
        {"PAUSED\r\n", false},
        {"", false},
    };
    test::ScratchFolder scratch;
    const fs::path file = scratch.path() / "tune.gxp";
    for (const auto& [text, journal] : starts) {
        writeFile(file, text);
        EXPECT_EQ(leftoverJournalMessage(file).has_value(), journal) << '"' << text << '"';
    }
}
