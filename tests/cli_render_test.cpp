// SPDX-License-Identifier: MIT
#include "cli/check/part_check.h"
#include "cli/common/settings_choice.h"
#include "cli/render/render.h"
#include "cli/score/text_score_reader.h"
#include "core/note_capture.h"
#include "fake_settings_view.h"
#include "files/failure.h"
#include "partfile/finaliser.h"
#include "platform/fake/fake_platform.h"
#include "scratch_folder.h"
#include "settings/settings_commit.h"
#include "settings/settings_file.h"
#include "text_files.h"

#include <gtest/gtest.h>

#include <sstream>

namespace chimex {
namespace {

using test::ScratchFolder;

using test::readFile;
using test::writeFile;

struct Scenario {
    const char* name;
    const char* score;    ///< KEY HOLD GAP lines
    const char* settings; ///< Chimex.ini text, or nullptr for none
    bool pause;
    bool noRoom;
};

/// The desktop program's own logic on the fake platform: start-up, a mouse press and release per
/// note with the clock at realistic times of day, and the unload chain when playing ends.
std::string desktopPartFile(const Scenario& s, const std::filesystem::path& folder) {
    FakePlatform platform;
    platform.folder = folder;
    platform.useRealFiles = true;
    if (s.settings) {
        writeFile(folder / settingsFileName, s.settings);
    }
    ProgramState state;
    test::FakeSettingsView view(state);
    settleSettings(
        state,
        [&] {
            settingsDialogLoaded(state);
            readSettingsFile(state, platform, view);
        },
        [&] {
            view.pause = s.pause ? 1 : view.pause;
            commitSettings(state, platform, platform, view, fieldTexts(view));
        });
    const auto tune = folder / "tune.txt";
    state.TuneStream.open(tune);
    const auto finish = [&] {
        state.TuneStream.close();
        finalisePartFile(tune, folder, headerValues(state));
        return readFile(tune);
    };

    std::istringstream score(s.score);
    TextScoreReader notes(score);
    double now = 37512.25; // a little after half past ten in the morning
    bool first = true;
    while (const auto note = notes.next()) {
        now += first ? 0 : note->gap;
        first = false;
        startNote(state, pressedAt(state, now));
        now += note->hold;
        if (endNote(state, platform, releasedAt(state, now), keySpeeds(state, note->key)) ==
            NoteOutcome::NoRoom) {
            break;
        }
    }
    return finish();
}

class RenderMatchesDesktop : public ::testing::TestWithParam<Scenario> {};

TEST_P(RenderMatchesDesktop, ByteForByte) {
    const Scenario& s = GetParam();
    ScratchFolder desktopFolder;
    const std::string expected = desktopPartFile(s, desktopFolder.path());

    ScratchFolder folder;
    SettingsChoice settings;
    settings.pause = s.pause;
    if (s.settings) {
        settings.file = folder.path() / "machine.ini";
        writeFile(*settings.file, s.settings);
    }
    std::istringstream score(s.score);
    TextScoreReader notes(score);
    std::ostringstream messages;
    const auto out = folder.path() / "song.txt";
    const RenderOutcome outcome = renderPartFile(notes, settings, out, messages);

    EXPECT_EQ(readFile(out), expected);
    EXPECT_EQ(outcome.noRoom, s.noRoom);
    EXPECT_EQ(messages.str().find("Not enough room") != std::string::npos, s.noRoom);
}

INSTANTIATE_TEST_SUITE_P(
    Scores, RenderMatchesDesktop,
    ::testing::Values(
        Scenario{"DefaultSettings",
                 "24 0.523\n12 1.2 0.31\n0 0.0004\n36 2.75 1\n7 0.1 0\n30 0.333 0.05\n", nullptr,
                 false, false},
        Scenario{"PauseLinesAndDoubleRounding",
                 "24 0.523\n12 1.2 0.2496\n0 0.5 0.04\n36 0.25 0.25\n5 1 12.5\n", nullptr, true,
                 false},
        Scenario{"PauseFromTheSettingsFile", "1 1\n2 1 0.7\n3 1 0.3\n",
                 "MaxX = 10\r\nMaxY = 5\r\nMaxZ = 1\r\nMAxXYSpeed = 4\r\nMAxZSpeed = 1\r\nADdPause "
                 "= 1\r\n",
                 false, false},
        Scenario{"NoRoomEndsTheRender",
                 "10 0.5\n11 0.5 0.2\n12 0.5 0.2\n13 0.5 0.2\n14 3 0.2\n15 1\n",
                 "MaxX = 1.5\r\nMaxY = 1.5\r\nMaxZ = 1\r\nMAxXYSpeed = 3\r\nMAxZSpeed = 2\r\n",
                 true, true},
        Scenario{"NoNotes", "# nothing to play\n", nullptr, false, false}),
    [](const auto& info) { return info.param.name; });

/// Renders a score with the default settings and returns the part file's lines.
std::vector<std::string> renderLines(const std::string& scoreText) {
    ScratchFolder folder;
    std::istringstream score(scoreText);
    TextScoreReader notes(score);
    std::ostringstream messages;
    renderPartFile(notes, {}, folder.path() / "out.txt", messages);
    return test::crlfLines(readFile(folder.path() / "out.txt"));
}

CheckReport checkLines(const std::vector<std::string>& lines) {
    std::istringstream in(test::crlfText(lines));
    return checkMoveFile(in, machineLimits());
}

TEST(RenderRoundTrip, ARenderedScoreChecksCleanAndEachDamageIsFoundAtItsLine) {
    std::string score;
    for (int i = 0; i < 200; ++i) {
        score +=
            std::to_string(i * 11 % keyCount) + " " + std::to_string(0.1 + i % 7 * 0.15) + " 0.1\n";
    }
    auto lines = renderLines(score);
    const CheckReport clean = checkLines(lines);
    ASSERT_TRUE(clean.clean()) << clean.violations.front().line << ": "
                               << clean.violations.front().message;
    EXPECT_EQ(clean.notes.notes(), 200);
    EXPECT_EQ(clean.lines, 36 + 4 * 200);

    // Line 36 is the first note's jog line, 40 the second's; line 9 states the maximum X.
    ASSERT_TRUE(lines[35].starts_with("J3"));
    lines[35] = lines[35].substr(0, lines[35].find(' ') + 1) + "200";
    lines[39] = "J3,, .5.5";
    lines[8] = "' Maximum X-axis value for this file is 123";
    const CheckReport damaged = checkLines(lines);
    std::vector<long long> at;
    for (const auto& v : damaged.violations) {
        at.push_back(v.line);
    }
    EXPECT_NE(std::find(at.begin(), at.end(), 36), at.end());
    EXPECT_NE(std::find(at.begin(), at.end(), 40), at.end());
    EXPECT_NE(std::find(at.begin(), at.end(), 9), at.end());
}

TEST(RenderOutput, AFailedRenderLeavesNothingAtTheOutput) {
    ScratchFolder folder;
    const auto out = folder.path() / "song.txt";
    writeFile(out, "what was there before");
    std::istringstream score("1 1\n2 1\n3 x\n");
    TextScoreReader notes(score);
    std::ostringstream messages;
    EXPECT_THROW(renderPartFile(notes, {}, out, messages), InputFailure);
    EXPECT_EQ(readFile(out), "what was there before");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(RenderOutput, AMissingSettingsFileOrOutputFolderFails) {
    ScratchFolder folder;
    std::istringstream score("1 1\n");
    TextScoreReader notes(score);
    std::ostringstream messages;
    SettingsChoice missing;
    missing.file = folder.path() / "nowhere.ini";
    EXPECT_THROW(renderPartFile(notes, missing, folder.path() / "a.txt", messages), InputFailure);
    EXPECT_THROW(renderPartFile(notes, {}, folder.path() / "no" / "a.txt", messages), Failure);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

} // namespace
} // namespace chimex
