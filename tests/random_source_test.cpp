// SPDX-License-Identifier: MIT
#include "files/folder_lock.h"
#include "files/pending_removal.h"
#include "platform/random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <fstream>
#include <memory>
#include <string>

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace chimex;

TEST(RandomSource, StaysBelowOneAndGivesEveryChoiceEvenly) {
    RandomSource random;
    std::array<int, 8> counts{};
    const int draws = 600000;
    for (int i = 0; i < draws; ++i) {
        const float r = random.next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        const auto choice = static_cast<int>(std::floor(static_cast<double>(r) * 6 + 1));
        ++counts[static_cast<std::size_t>(choice)];
    }
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[7], 0);
    for (int choice = 1; choice <= 6; ++choice) {
        EXPECT_NEAR(counts[static_cast<std::size_t>(choice)], draws / 6, draws / 6 / 50) << choice;
    }
}

TEST(FolderLock, OneCopyAtATimeUntilTheHolderGoes) {
    // A folder of its own, so that no other run of the tests holds its lock.
    std::string pattern = (std::filesystem::temp_directory_path() / "chimex-lock-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path folder = pattern;
    auto first = std::make_unique<FolderLock>(folder);
    EXPECT_TRUE(first->held());
    EXPECT_FALSE(FolderLock(folder).held());
    EXPECT_FALSE(FolderLock(folder).problem()) << "held by another copy is no problem";
    first.reset();
    EXPECT_TRUE(FolderLock(folder).held());
    const FolderLock onAFile("/dev/null");
    EXPECT_FALSE(onAFile.held());
    EXPECT_EQ(onAFile.problem(), std::errc::not_a_directory);

    // The tune file: one copy at a time, created when missing, released for another tune.
    const std::filesystem::path tune = folder / "tune.gxp";
    FileLock tuneOfFirst;
    FileLock tuneOfSecond;
    EXPECT_TRUE(tuneOfFirst.lock(tune));
    EXPECT_TRUE(std::filesystem::is_regular_file(tune));
    EXPECT_TRUE(tuneOfFirst.lock(tune)) << "its own lock again";
    EXPECT_FALSE(tuneOfSecond.lock(tune));
    EXPECT_TRUE(tuneOfFirst.lock(folder / "other.gxp"));
    EXPECT_TRUE(tuneOfSecond.lock(tune));
    std::filesystem::remove_all(folder);
}

TEST(PendingRemoval, AnEndingSignalRemovesOnlyThePendingFiles) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "chimex-pending-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path folder = pattern;
    const pid_t child = ::fork();
    if (child == 0) {
        removeOnEndingSignals();
        std::ofstream(folder / "kept.tmp") << "done";
        std::ofstream(folder / "half.tmp") << "half";
        { const PendingRemoval done(folder / "kept.tmp"); }
        const PendingRemoval pending(folder / "half.tmp");
        std::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "ends as the signal would";
    EXPECT_FALSE(std::filesystem::exists(folder / "half.tmp"));
    EXPECT_TRUE(std::filesystem::exists(folder / "kept.tmp"));
    std::filesystem::remove_all(folder);
}
