// SPDX-License-Identifier: MIT
// GrblSession against the fake GRBL on a fake link's simulated time: no real time passes.
#include "fake_grbl.h"
#include "link/grbl_session.h"

#include <gtest/gtest.h>

#include <cmath>

namespace chimex {
namespace {

struct OnFakeGrbl {
    FakeMachineLink link;
    FakeGrbl grbl;
    GrblSession session{link};

    explicit OnFakeGrbl(FakeGrblMachine machine = idleMachine()) : grbl(machine, link.time) {
        link.peer = &grbl;
    }
    static FakeGrblMachine idleMachine() {
        FakeGrblMachine machine;
        machine.homing = false;
        return machine;
    }
    LinkTime in(double seconds) {
        return link.time + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(seconds));
    }
    /// The message of the failure `work` throws, empty when it throws none.
    template <typename Thrown, typename Work> std::string failureOf(Work work) {
        try {
            work();
        } catch (const Thrown& failure) {
            return failure.what();
        }
        return {};
    }
};

TEST(GrblSession, CountsCharactersUpToTheReceiveBufferItReportsNeverPast) {
    for (int receiveBytes : {128, 256}) {
        SCOPED_TRACE(receiveBytes);
        FakeGrblMachine machine = OnFakeGrbl::idleMachine();
        machine.receiveBytes = receiveBytes;
        OnFakeGrbl on(machine);
        EXPECT_EQ(on.session.start(on.in(5)).receiveBytes, receiveBytes);
        for (int i = 1; i <= 80; ++i) {
            const double x = -(i % 2) * 2.0 - i * 0.01;
            on.session.send("G1 X" + std::to_string(x) + " F3000 (note " + std::to_string(i) + ")",
                            on.in(60));
            EXPECT_LE(on.session.bytesUnanswered(), std::size_t(receiveBytes - 1));
        }
        on.session.drain(on.in(60));
        EXPECT_EQ(on.grbl.bytesLost(), 0u);
        EXPECT_LT(on.grbl.peakReceived(), std::size_t(receiveBytes));
        EXPECT_GT(on.grbl.peakReceived(), std::size_t(receiveBytes - 20)); // kept it full
        EXPECT_EQ(on.session.linesAnswered(), 81u);
        on.session.listen(on.in(2));
        EXPECT_EQ(on.session.status(on.in(1)).state, GrblState::Idle);
        EXPECT_NEAR((*on.session.machinePosition())[0], -0.8, 1e-3);
    }
}

TEST(GrblSession, AnErrorStopsNamingItsLineAndItsMeaning) {
    OnFakeGrbl on;
    on.session.start(on.in(5));
    const auto stopped = [&](const std::vector<std::string>& lines) -> MachineStopped {
        try {
            for (const auto& line : lines) {
                on.session.send(line, on.in(10));
            }
            on.session.drain(on.in(10));
        } catch (const MachineStopped& stop) {
            return stop;
        }
        return MachineStopped("");
    };
    const MachineStopped refusal = stopped({"G21 G90", "G1 X-1 F600", "G65 X-2", "G1 X-3"});
    EXPECT_STREQ(refusal.what(), "GRBL refused \"G65X-2\": the line holds a G-code GRBL does not "
                                 "support (error:20)");
    EXPECT_EQ(refusal.sentLine, 4u); // $I was the first
    EXPECT_EQ(refusal.code, "error:20");
    EXPECT_FALSE(refusal.alarm);

    const MachineStopped alarm = stopped({"G1 X-400 F600"});
    EXPECT_TRUE(alarm.alarm);
    EXPECT_EQ(alarm.code, "ALARM:2");
    EXPECT_NE(std::string(alarm.what()).find("soft limit"), std::string::npos);
    EXPECT_TRUE(on.session.reset(on.in(2)));
}

TEST(GrblSession, RefusesLinesGrblWouldTakeApart) {
    OnFakeGrbl on;
    on.session.start(on.in(5));
    EXPECT_EQ(on.failureOf<Failure>([&] { on.session.send("G1 X1 F600 M0!", on.in(1)); }),
              "the line \"G1 X1 F600 M0!\" holds '!', which GRBL takes as a feed hold");
    EXPECT_NE(on.failureOf<Failure>([&] {
                    on.session.send(std::string(130, 'G'), on.in(1));
                }).find("longer than GRBL's receive buffer of 128 bytes"),
              std::string::npos);
    EXPECT_EQ(on.session.linesSent(), 1u);
}

TEST(GrblSession, JogsKeepGrblsRules) {
    FakeGrblMachine machine; // homing: starts in alarm
    OnFakeGrbl on(machine);
    on.session.start(on.in(5));
    EXPECT_EQ(on.session.status(on.in(1)).state, GrblState::Alarm);
    const auto refusalOf = [&](std::string_view line) {
        return on.failureOf<MachineStopped>([&] { on.session.request(line, on.in(1)); });
    };
    EXPECT_EQ(refusalOf("$J=G91 X-1 F600"), "GRBL refused \"$J=G91X-1F600\": this $ command only "
                                            "works while the machine is idle (error:8)");
    EXPECT_EQ(on.session.request("$X", on.in(1)),
              std::vector<std::string>{"[MSG:Caution: Unlocked]"});
    EXPECT_EQ(refusalOf("$J=G53 X-400 F600"),
              "GRBL refused \"$J=G53X-400F600\": the move would leave the travel (error:15)");
    EXPECT_EQ(refusalOf("$J=G91 X-1"), "GRBL refused \"$J=G91X-1\": no feed rate has been set "
                                       "(error:22)");

    // A jog cancel stops a jog short; while idle it does nothing.
    on.session.send("$J=G91 X-10 F600", on.in(1));
    on.session.listen(on.in(0.5));
    EXPECT_EQ(on.session.status(on.in(1)).state, GrblState::Jog);
    on.session.realTime(GrblRealTime::JogCancel);
    on.session.listen(on.in(0.5));
    const double cancelledAt = on.grbl.position()[0];
    EXPECT_EQ(on.session.status(on.in(1)).state, GrblState::Idle);
    EXPECT_LT(cancelledAt, -4);
    EXPECT_GT(cancelledAt, -6);
    on.session.realTime(GrblRealTime::JogCancel);
    on.session.request("$J=G91 X-1 F600", on.in(1));
    on.session.listen(on.in(1));
    EXPECT_NEAR(on.grbl.position()[0], cancelledAt - 1, 1e-6);
}

TEST(GrblSession, JogLinesStillInTheReceiveBufferRunAfterACancel) {
    FakeGrblMachine machine = OnFakeGrbl::idleMachine();
    machine.plannerBlocks = 2;
    OnFakeGrbl on(machine);
    on.session.start(on.in(5));
    for (int i = 0; i < 5; ++i) {
        on.session.send("$J=G91 X-1 F600", on.in(1)); // two planned, three waiting
    }
    on.session.realTime(GrblRealTime::JogCancel);
    on.session.drain(on.in(5));
    on.session.listen(on.in(2));
    EXPECT_LT(on.grbl.position()[0], -3); // the three waiting, after the stop's own travel
    EXPECT_GT(on.grbl.position()[0], -3.5);
}

TEST(GrblSession, ProgramPauseResumesOnCycleStartAndEndIsReported) {
    OnFakeGrbl on;
    std::vector<std::string> messages;
    on.session.onMessage = [&](std::string_view text) {
        messages.emplace_back(text);
    };
    on.session.start(on.in(5));
    for (const char* line : {"G1 X-5 F3000", "M0", "G1 X-1", "M2"}) {
        on.session.send(line, on.in(1));
    }
    on.session.listen(on.in(1));
    EXPECT_EQ(on.session.status(on.in(1)).state, GrblState::Hold);
    EXPECT_EQ(on.session.linesAnswered(), 2u);
    on.session.realTime(GrblRealTime::CycleStart);
    on.session.drain(on.in(5));
    EXPECT_EQ(messages, std::vector<std::string>{"Pgm End"});
    EXPECT_NEAR(on.grbl.position()[0], -1, 1e-6);
}

TEST(GrblSession, ReportsWorkPositionsAsMachinePositions) {
    FakeGrblMachine machine = OnFakeGrbl::idleMachine();
    machine.statusMask = 2; // WPos and Bf:
    machine.workOffset = {-100, -50, 0};
    OnFakeGrbl on(machine);
    on.session.start(on.in(5));
    on.session.send("G1 X-10 Y-10 F3000", on.in(1));
    const GrblStatus status = on.session.status(on.in(1));
    EXPECT_TRUE(status.workPosition);
    EXPECT_EQ(status.plannerBlocksFree, 14);
    on.session.listen(on.in(5));
    EXPECT_EQ(on.session.status(on.in(1)).position, (AxisValues{-10, -10, 0}));
    EXPECT_EQ(on.session.machinePosition(), (AxisValues{-110, -60, 0}));
}

TEST(GrblSession, ALostOrSilentLinkIsReported) {
    {
        OnFakeGrbl on;
        on.session.start(on.in(5));
        on.link.cutAfterBytes = on.link.written.size() + 40;
        EXPECT_EQ(on.failureOf<LinkFailure>([&] {
            for (int i = 0; i < 10; ++i) {
                on.session.send("G1 X-" + std::to_string(i) + " F600", on.in(10));
            }
        }),
                  "the link to the fake controller was lost");
    }
    {
        OnFakeGrbl on;
        on.session.start(on.in(5));
        on.link.silent = true;
        on.session.send("G1 X-1 F600", on.in(1));
        EXPECT_EQ(on.failureOf<LinkFailure>([&] { on.session.drain(on.in(2)); }),
                  "GRBL did not answer in time (waiting for the answers to the lines sent)");
        on.session.watchStatus(std::chrono::milliseconds(200), std::chrono::milliseconds(250));
        EXPECT_EQ(on.failureOf<LinkFailure>([&] { on.session.listen(on.in(2)); }),
                  "GRBL sent no status report for 250 ms");
    }
    {
        FakeMachineLink link;
        link.silent = true;
        GrblSession session(link);
        EXPECT_NE(std::string(OnFakeGrbl().failureOf<LinkFailure>([&] {
                      session.start(link.time + std::chrono::seconds(3));
                  })).find("GRBL did not answer"),
                  std::string::npos);
    }
    FakeMachineLinks links;
    links.refusal = "Permission denied";
    EXPECT_EQ(OnFakeGrbl().failureOf<LinkFailure>([&] {
        links.open(SerialPortAddress{"/dev/ttyUSB0", 115200});
    }),
              "cannot open /dev/ttyUSB0: Permission denied");
}

TEST(GrblSession, ResetWhileMovingLeavesGrblInAlarm) {
    OnFakeGrbl on;
    on.session.start(on.in(5));
    on.session.send("G1 X-50 F3000", on.in(1));
    on.session.listen(on.in(0.3));
    EXPECT_TRUE(on.session.reset(on.in(2)));
    EXPECT_EQ(on.session.bytesUnanswered(), 0u);
    on.session.request("$X", on.in(1));
    EXPECT_FALSE(on.session.reset(on.in(2)));
}

} // namespace
} // namespace chimex
