// SPDX-License-Identifier: MIT
// Live play on the fake GRBL through a fake link, on simulated time: ticks 10 ms apart.
#include "fake_grbl.h"
#include "link/grbl_jogger.h"

#include <gtest/gtest.h>

#include <cmath>

namespace chimex {
namespace {

using std::chrono::milliseconds;

constexpr std::array<double, 3> settingsTravel{200, 150, 50};

struct LiveOnFakeGrbl {
    FakeMachineLink link;
    FakeGrbl grbl;
    GrblJogger jogger{link, "/dev/ttyUSB0"};

    explicit LiveOnFakeGrbl(FakeGrblMachine machine = {}, bool home = true)
        : grbl(machine, link.time) {
        link.peer = &grbl;
        if (home) {
            GrblSession session(link);
            session.start(in(5));
            session.request("$H", in(1));
        }
    }
    LinkTime in(double seconds) {
        return link.time + std::chrono::duration_cast<LinkTime::duration>(
                               std::chrono::duration<double>(seconds));
    }
    /// Ticks for `ms` of simulated time; the first news other than None, if any.
    JogNews run(int ms, const std::function<void()>& eachTick = {}) {
        const LinkTime end = link.time + milliseconds(ms);
        while (link.time < end) {
            link.time += milliseconds(9);
            const JogNews news = jogger.tick();
            if (eachTick) {
                eachTick();
            }
            if (news.kind != JogNews::None) {
                return news;
            }
        }
        return {};
    }
    double x() const { return grbl.position()[0]; }
};

std::string refusalOf(LiveOnFakeGrbl& on, std::array<double, 3> travel = settingsTravel) {
    try {
        on.jogger.start(travel, on.in(5));
    } catch (const LiveRefusal& refusal) {
        return refusal.what();
    }
    return {};
}

TEST(GrblJogger, RefusesAMachineThatIsNotReadyNamingTheFix) {
    LiveOnFakeGrbl inAlarm({}, false);
    EXPECT_NE(refusalOf(inAlarm).find("GRBL on /dev/ttyUSB0 is in alarm"), std::string::npos);
    EXPECT_NE(refusalOf(inAlarm).find("Home the machine: send $H"), std::string::npos);

    FakeGrblMachine noLimits;
    noLimits.softLimits = false;
    LiveOnFakeGrbl unchecked(noLimits);
    EXPECT_NE(refusalOf(unchecked).find("Send $22=1 and $20=1"), std::string::npos);

    LiveOnFakeGrbl still;
    EXPECT_NE(refusalOf(still, {0, -1, 0}).find("has no axis live play may move"),
              std::string::npos);

    LiveOnFakeGrbl silent({}, false);
    silent.link.silent = true;
    EXPECT_NE(refusalOf(silent).find("GRBL did not answer"), std::string::npos);
}

/// Held for a second at 20 mm/s: one jog line unanswered at most, never more than 100 ms of
/// motion queued; released, the machine stands still within GRBL's prepared segments.
TEST(GrblJogger, AHeldNoteJogsInShortLeasesAndStopsAtRelease) {
    LiveOnFakeGrbl on;
    on.jogger.start(settingsTravel, on.in(5));
    const auto choice = chooseJog(on.jogger.axes(), on.jogger.position(), {20, 20, 0});
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->axis, 0u); // X has the most room, downwards from -1
    EXPECT_EQ(choice->direction, -1);

    const auto sentBefore = on.link.written.size();
    EXPECT_EQ(on.jogger.press(*choice).kind, JogNews::None);
    EXPECT_NE(on.link.written.find("$J=G21G53X-3.000F1200.000\n", sentBefore), std::string::npos);
    double queueEnd = -3;
    EXPECT_EQ(on.run(1000,
                     [&] {
                         EXPECT_LE(on.jogger.session().linesSent() -
                                       on.jogger.session().linesAnswered(),
                                   1u);
                         const auto last = on.link.written.rfind("$J=G21G53X");
                         queueEnd = std::strtod(on.link.written.c_str() + last + 10, nullptr);
                         EXPECT_LE(on.x() - queueEnd, 2.0 + 1e-6); // 100 ms at 20 mm/s
                     })
                  .kind,
              JogNews::None);
    EXPECT_NEAR(on.x(), -21, 0.6); // 1 s at 20 mm/s, less the start's ramp

    on.jogger.release();
    EXPECT_EQ(on.link.written.back(), '\x85');
    const double releasedAt = on.x();
    int msToStandstill = 0;
    on.run(300, [&] { msToStandstill += on.grbl.state() == "Idle" ? 0 : 9; });
    EXPECT_LE(msToStandstill, 120);
    EXPECT_LT(releasedAt - on.x(), 20 * 20 / 1000.0 + 20 * 0.041 + 0.3); // and prepared segments
    EXPECT_EQ(on.jogger.statusText(), "GRBL on /dev/ttyUSB0: Idle");
}

TEST(GrblJogger, NeverMoreThanALeaseQueuedRampingUpOrAtSpeed) {
    for (const double speed : {0.5, 8.0, 45.0}) {
        SCOPED_TRACE(speed);
        LiveOnFakeGrbl on;
        on.jogger.start(settingsTravel, on.in(5));
        on.jogger.press({0, -1, speed});
        on.run(600, [&] {
            const auto last = on.link.written.rfind("$J=G21G53X");
            const double queueEnd = std::strtod(on.link.written.c_str() + last + 10, nullptr);
            // Within the thousandth GRBL rounds its reported position to.
            EXPECT_LE(on.x() - queueEnd, std::max(speed * 0.1, 0.001) + 0.001);
        });
        EXPECT_LT(on.x(), -1 - speed * 0.4);
    }
}

/// A key released straight after its press: the jog just sent stops with the stop from speed.
TEST(GrblJogger, ATapStopsTheJogStillOnItsWay) {
    LiveOnFakeGrbl on;
    on.jogger.start(settingsTravel, on.in(5));
    on.jogger.press({0, -1, 40});
    on.jogger.release();
    on.run(300);
    EXPECT_EQ(on.grbl.state(), "Idle");
    EXPECT_GT(on.x(), -1 - 40 * 40 / 1000.0 - 0.1); // no more than the stop from full speed
    on.jogger.press({0, -1, 40});                   // the next note plays as ever
    on.run(200);
    EXPECT_LT(on.x(), -5);
}

TEST(GrblJogger, TheEndOfTheTravelEndsTheNoteInside) {
    LiveOnFakeGrbl on;
    on.jogger.start({5, 150, 50}, on.in(5)); // X may go from -300 to -295 only
    EXPECT_EQ(on.jogger.axes()[0].high, -295);
    on.jogger.press({0, -1, 50});
    const JogNews news = on.run(10000);
    EXPECT_EQ(news.kind, JogNews::NoteEnded);
    EXPECT_NE(news.message.find("The X axis has no more room"), std::string::npos);
    on.run(500);
    EXPECT_GE(on.x(), -300);
    EXPECT_EQ(on.grbl.state(), "Idle");
}

TEST(GrblJogger, ARefusedJogEndsTheNoteWithoutAnAlarm) {
    LiveOnFakeGrbl on;
    on.jogger.start(settingsTravel, on.in(5));
    // Another machine answers from now on, whose travel is shorter than the one reported.
    FakeGrblMachine shorter;
    shorter.homing = false;
    shorter.travel = {1, 1, 1};
    FakeGrbl other(shorter, on.link.time);
    other.runUntil(on.link.time); // its welcome, unheard
    on.link.peer = &other;
    on.jogger.press({0, -1, 20});
    const JogNews news = on.run(200);
    EXPECT_EQ(news.kind, JogNews::NoteEnded);
    EXPECT_NE(news.message.find("the move would leave the travel (error:15)"), std::string::npos);
    EXPECT_EQ(on.run(200).kind, JogNews::None);
    EXPECT_EQ(other.state(), "Idle");
    EXPECT_NE(on.jogger.statusText().find(": Idle"), std::string::npos);
}

TEST(GrblJogger, ASilentOrLostLinkStopsTheMachine) {
    for (const bool cut : {false, true}) {
        SCOPED_TRACE(cut);
        LiveOnFakeGrbl on;
        on.jogger.start(settingsTravel, on.in(5));
        on.jogger.press({0, -1, 20});
        on.run(300);
        const LinkTime failedAt = on.link.time;
        if (cut) {
            on.link.cutAfterBytes = on.link.written.size();
        } else {
            on.link.silent = true; // GRBL hears, but we hear nothing
        }
        // Cut, the release finds the link gone; silent, the ticks find no report.
        const JogNews news = cut ? on.jogger.release() : on.run(1000);
        EXPECT_EQ(news.kind, JogNews::Offline);
        EXPECT_NE(news.message.find("plays on without the machine"), std::string::npos);
        if (!cut) {
            EXPECT_NE(news.message.find("no status report for 250 ms"), std::string::npos);
            EXPECT_LE(on.link.time - failedAt, milliseconds(250 + 40 + 20));
        }
        const double stoppedAt = on.x();
        on.grbl.runUntil(on.link.time + milliseconds(500));
        EXPECT_LT(std::fabs(on.x() - stoppedAt), 2.0 + 1e-6); // a lease at most ran on
        EXPECT_EQ(on.jogger.press({0, -1, 20}).kind, JogNews::None);
        EXPECT_NE(on.jogger.statusText().find("not playing live"), std::string::npos);
    }
}

} // namespace
} // namespace chimex
