// SPDX-License-Identifier: MIT
#include "core/program_state.h"
#include "files/failure.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace chimex;

TEST(ProgramState, EveryFieldStartsAtZero) {
    const ProgramState s;
    const float singles[] = {s.NoteDuration, s.NoteSpeed, s.MaxX,        s.MaxY,       s.MaxZ,
                             s.MaxXYSpeed,   s.MaxZSpeed, s.BaseSpeed,   s.CurX,       s.CurY,
                             s.CurZ,         s.HighX,     s.HighY,       s.HighZ,      s.LowX,
                             s.LowY,         s.LowZ,      s.PauseLength, s.TopXYSpeed, s.TopZSpeed};
    for (float value : singles) {
        EXPECT_EQ(value, 0.0f);
    }
    EXPECT_EQ(s.NoteStart, 0.0);
    EXPECT_EQ(s.NoteEnd, 0.0);
    EXPECT_EQ(s.MoveChoice, 0);
    EXPECT_EQ(s.PauseMode, 0);
    EXPECT_EQ(s.StartStatus, 0);
    EXPECT_TRUE(s.TuneFile.empty());
    EXPECT_FALSE(s.TuneStream.isOpen());
    static_assert(std::is_same_v<decltype(ProgramState::StartStatus), std::int16_t>);
    static_assert(std::is_same_v<decltype(ProgramState::MoveChoice), std::int32_t>);
}

TEST(Journal, ReportsUnopenedAndUnwritableFiles) {
    Journal journal;
    EXPECT_THROW(journal.stream(), Failure);
    EXPECT_THROW(journal.open("/nonexistent-folder/tune.gxp"), Failure);
    EXPECT_NO_THROW(journal.close());

    auto text = std::make_unique<std::ostringstream>();
    auto* raw = text.get();
    journal.attach(std::move(text));
    journal.stream() << "J3, .765\r\n";
    journal.flush();
    EXPECT_EQ(raw->str(), "J3, .765\r\n");
    raw->setstate(std::ios::badbit);
    EXPECT_THROW(journal.flush(), Failure);
}
