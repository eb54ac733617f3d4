// SPDX-License-Identifier: MIT
#include "platform/failure.h"
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

using namespace chimex;

TEST(FakePlatform, AnswersFromItsScriptsThenFallsBack) {
    FakePlatform fake;
    fake.clockReadings = {10.5, 11.25};
    fake.randomNumbers = {0.7f};
    fake.dialogAnswers = {std::filesystem::path("/tmp/tune.gxp")};
    fake.buttonPresses = {MessageButton::No};

    EXPECT_EQ(fake.clock(), 10.5);
    EXPECT_EQ(fake.clock(), 11.25);
    EXPECT_EQ(fake.clock(), 0.0);
    EXPECT_EQ(fake.randomNumber(), 0.7f);
    const float next = fake.randomNumber();
    EXPECT_TRUE(next >= 0.0f && next < 1.0f);
    EXPECT_EQ(fake.saveFileDialog({}), std::filesystem::path("/tmp/tune.gxp"));
    EXPECT_EQ(fake.saveFileDialog({}), std::nullopt);
    EXPECT_EQ(fake.messageBox("Sure?", "Q", MessageStyle::YesNo), MessageButton::No);
    EXPECT_EQ(fake.messageBox("Sure?", "Q", MessageStyle::YesNo), MessageButton::Yes);
    EXPECT_EQ(fake.messageBox("Note", "N", MessageStyle::Critical), MessageButton::Ok);
    ASSERT_EQ(fake.messages.size(), 3u);
    EXPECT_EQ(fake.messages[2].style, MessageStyle::Critical);
}

TEST(FakePlatform, RecordsSoundAndEndingAndFailsWhenTold) {
    FakePlatform fake;
    int unloads = 0;
    fake.onEndPlaying = [&] {
        ++unloads;
    };
    fake.startSound("/p/notes/7.wav");
    EXPECT_TRUE(fake.soundPlaying);
    fake.stopSound();
    EXPECT_FALSE(fake.soundPlaying);
    fake.endPlaying();
    EXPECT_EQ(unloads, 1);
    fake.reportUnhandledFailure("Overflow in the note planner");
    EXPECT_EQ(fake.failuresReported.back(), "Overflow in the note planner");

    fake.failing = {"clock", "saveFileDialog"};
    EXPECT_THROW(fake.clock(), Failure);
    EXPECT_THROW(fake.saveFileDialog({}), Failure);
}
