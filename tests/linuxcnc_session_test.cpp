// SPDX-License-Identifier: MIT
// The LinuxCNC session and player on a scripted link, with linuxcncrsh's replies as it writes
// them (echoes, LF CR after a set): refusals, lost links and replies not understood.
#include "link/linuxcnc_jogger.h"
#include "link/linuxcnc_player.h"
#include "platform/fake/fake_machine_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace chimex {
namespace {

const std::vector<std::string> handshake = {
    "HELLO ACK EMCNETSVR 1.1\r\n", "set verbose on\r\nSET VERBOSE ACK\n\r",
    "set echo off\r\nSET ECHO ACK\n\r", "SET ENABLE ACK\n\r"};

LinkTime soon(FakeMachineLink& link) {
    return link.time + std::chrono::seconds(2);
}

/// What `work` throws: "link: ..." for a LinkFailure, the message of a MachineStopped, or "".
std::string outcomeOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const LinkFailure& failure) {
        return std::string("link: ") + failure.what();
    } catch (const MachineStopped& stop) {
        return stop.what();
    }
    return {};
}

TEST(LinuxcncSession, RefusalsLostLinksAndRepliesNotUnderstoodAreToldInWords) {
    using Work = std::function<void(LinuxcncSession&, LinkTime)>;
    const Work run = [](LinuxcncSession& session, LinkTime deadline) {
        session.set("run", deadline);
    };
    const struct {
        std::vector<std::string> replies; ///< after the handshake
        Work work;
        const char* outcome;
    } rows[] = {
        {{"SET RUN NAK\n\r", "ERROR can't do that (EMC_TASK_PLAN_RUN) in manual mode\r\n"},
         run,
         "LinuxCNC refused \"set run\": can't do that (EMC_TASK_PLAN_RUN) in manual mode"},
        {{"SET RUN NAK\n\r", "ERROR OK\r\n"},
         run,
         "LinuxCNC refused \"set run\": not in its present state (is the machine on and homed, in "
         "the right mode, and no other linuxcncrsh client in control?)"},
        {{"SET MODE ACK\n\r"},
         run,
         "linuxcncrsh answered \"SET MODE ACK\" to \"set run\", which this program does not "
         "understand"},
        {{}, run, "link: LinuxCNC did not answer in time (waiting for the answer to \"set run\")"},
        {{"GET SET_TIMEOUT NAK\r\n\r\n"},
         [](LinuxcncSession& session, LinkTime deadline) { session.estop(deadline); },
         "linuxcncrsh refused \"get estop\""},
        {{"PROGRAM_STATUS WALKING\r\n"},
         [](LinuxcncSession& session, LinkTime deadline) { session.programStatus(deadline); },
         "LinuxCNC reported the program status \"WALKING\", which this program does not know"},
        {{"ABS_ACT_POS 1.000000 x 0.000000\r\n"},
         [](LinuxcncSession& session, LinkTime deadline) { session.position(deadline); },
         "linuxcncrsh sent \"1.000000 x 0.000000\", which this program cannot read as numbers"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.outcome);
        FakeMachineLink link;
        link.replies.assign(handshake.begin(), handshake.end());
        link.replies.insert(link.replies.end(), row.replies.begin(), row.replies.end());
        LinuxcncSession session(link);
        session.start(soon(link));
        EXPECT_EQ(outcomeOf([&] { row.work(session, soon(link)); }), row.outcome);
    }
}

TEST(LinuxcncSession, HandshakeRefusalsJogsAndALostLink) {
    const auto startWith = [](std::vector<std::string> replies) {
        FakeMachineLink link;
        link.replies.assign(replies.begin(), replies.end());
        LinuxcncSession session(link);
        return outcomeOf([&] { session.start(soon(link)); });
    };
    EXPECT_EQ(startWith({"HELLO NAK\r\n"}),
              "linuxcncrsh refused the connect password (its --connectpw)");
    EXPECT_EQ(startWith({handshake[0], handshake[1], handshake[2], "SET ENABLE NAK\n\r"}),
              "linuxcncrsh refused the enable password (its --enablepw)");
    EXPECT_EQ(startWith({"Grbl 1.1h ['$' for help]\r\n"}),
              "link: the other end answered \"Grbl 1.1h ['$' for help]\" to hello: is it "
              "LinuxCNC's linuxcncrsh?");

    FakeMachineLink link;
    link.replies.assign(handshake.begin(), handshake.end());
    link.replies.insert(link.replies.end(), {"SET JOG_INCR ACK\n\r", "SET JOG_STOP ACK\n\r"});
    LinuxcncSession session(link);
    session.start(soon(link));
    link.written.clear();
    session.jogIncrement('y', 2.5, -0.25, soon(link)); // per second in, per minute out
    session.jogStop('y', soon(link));
    EXPECT_EQ(link.written, "set jog_incr Y -150.000000 0.250000\r\nset jog_stop Y\r\n");
    EXPECT_THROW(session.jogIncrement('A', 1, 1, soon(link)), Failure);
    EXPECT_THROW(session.jogIncrement('X', 1, std::nan(""), soon(link)), Failure);
    link.cutAfterBytes = link.written.size();
    EXPECT_THROW(session.estop(soon(link)), LinkFailure);
}

struct Resuming : PlayWatcher {
    void progress(std::uint64_t) override {}
    bool paused(std::string_view) override { return true; }
    bool stopAsked() override { return false; }
};

TEST(LinuxcncPlayer, RefusesAMachineNotReadyAndAbortsAtLinuxcncsError) {
    FakeMachineLink link;
    link.replies.assign(handshake.begin(), handshake.end());
    link.replies.push_back("ESTOP ON\r\n");
    LinuxcncPlayer refused(link, {});
    EXPECT_EQ(outcomeOf([&] { refused.start(soon(link)); }),
              "LinuxCNC is in E-stop: release it and switch the machine on in LinuxCNC's own "
              "screen (F1, then F2 in AXIS), home it, then play again");

    link.replies.assign(handshake.begin(), handshake.end());
    link.replies.insert(
        link.replies.end(),
        {"ESTOP OFF\r\n", "MACHINE ON\r\n", "JOINT_HOMED YES YES YES NO NO NO\r\n",
         "PROGRAM_STATUS IDLE\r\n", "SET ABORT ACK\n\r", "SET MODE ACK\n\r", "ERROR OK\r\n",
         "SET OPEN ACK\n\r", "ERROR OK\r\n", "PROGRAM /home/cnc/song.ngc\r\n", "SET RUN ACK\n\r",
         "PROGRAM_STATUS RUNNING\r\n",
         "ERROR Linear move on line 3 would exceed X's positive limit\r\n", "SET ABORT ACK\n\r"});
    LinuxcncPlayerOptions options;
    options.programPath = "/home/cnc/song.ngc";
    LinuxcncPlayer player(link, options);
    EXPECT_EQ(player.start(soon(link)), "");
    Resuming watcher;
    EXPECT_EQ(
        outcomeOf([&] {
            player.play({"G21 G90", "G1 X5 F600", "G1 X2000", "M2"}, watcher);
        }),
        "LinuxCNC stopped the program: Linear move on line 3 would exceed X's positive limit");
    EXPECT_TRUE(link.written.ends_with("get error\r\nset abort\r\n")) << link.written;
    EXPECT_TRUE(link.replies.empty());
}

/// An INI's axes: X to Z from -1 to 1000 mm at 100 mm/s and 500 mm/s².
MachineSettings millIni() {
    MachineSettings ini;
    ini.controller = GcodeDialect::LinuxCnc;
    ini.unit = LengthUnit::Millimetre;
    for (auto& axis : ini.axes) {
        axis = {std::nullopt, 100.0, 500.0, -1.0, 1000.0};
    }
    return ini;
}

TEST(LinuxcncJogger, RefusesAnIniItCannotPlayAndEndsANoteOrLivePlayWhenLinuxcncDoes) {
    FakeMachineLink link;
    MachineSettings inches = millIni();
    inches.unit = LengthUnit::Inch;
    MachineSettings noTravel = millIni();
    for (auto& axis : noTravel.axes) {
        axis.travelMax.reset();
    }
    for (const auto& [ini, refusal] : {std::pair{inches, "works in inches"},
                                       std::pair{noTravel, "has no axis live play may move"}}) {
        LinuxcncJogger jogger(link, "mill:5007", ini);
        std::string told;
        try {
            jogger.start({300, 300, 300}, soon(link));
        } catch (const LiveRefusal& failure) {
            told = failure.what();
        }
        EXPECT_NE(told.find(refusal), std::string::npos) << told;
    }
    EXPECT_EQ(link.written, ""); // refused before asking the machine

    link.replies.assign(handshake.begin(), handshake.end());
    link.replies.insert(link.replies.end(),
                        {"ESTOP OFF\r\n", "MACHINE ON\r\n", "JOINT_HOMED YES YES YES NO NO NO\r\n",
                         "PROGRAM_STATUS IDLE\r\n", "SET MODE ACK\n\r", "MODE MANUAL\r\n",
                         "ABS_ACT_POS 0.0 0.0 0.0\r\n", "SET JOG_INCR ACK\n\r",
                         "ABS_ACT_POS 1.2 0.0 0.0\r\n", "SET JOG_INCR NAK\n\r",
                         "ERROR jog refused\r\n", "SET JOG_STOP ACK\n\r"});
    LinuxcncJogger jogger(link, "mill:5007", millIni());
    jogger.start({300, 300, 300}, soon(link));
    link.written.clear();
    EXPECT_EQ(jogger.press({0, 1, 20}).kind, JogNews::None); // a lease: 100 ms at 20 mm/s
    EXPECT_EQ(link.written, "set jog_incr X 1200.000000 2.000000\r\n");
    const JogNews refused = jogger.tick(); // 0.8 mm queued: renewed, and refused
    EXPECT_EQ(refused.message,
              "The note stopped: LinuxCNC refused \"set jog_incr X 1200.000000 1.200000\": jog "
              "refused");
    EXPECT_TRUE(link.written.ends_with("set jog_stop X\r\n"));
    link.silent = true;
    const LinkTime before = link.time;
    EXPECT_EQ(jogger.tick().kind, JogNews::Offline);
    EXPECT_EQ(link.time - before, LinuxcncJogger::replyWithin);
}

} // namespace
} // namespace chimex
