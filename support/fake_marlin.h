// SPDX-License-Identifier: MIT
#pragma once

#include "platform/fake/fake_machine_link.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// How a FakeMarlin is built.
struct FakeMarlinMachine {
    std::size_t serialBytes = 128;  ///< its serial receive buffer; bytes past it are lost
    std::size_t commandSlots = 4;   ///< BUFSIZE: lines taken ahead of the one running
    std::size_t plannerBlocks = 16; ///< moves planned ahead
    bool emergencyParser = true;    ///< M108, M112 and M410 act as they arrive
    bool advancedOk = false;        ///< `ok N12 P15 B3`
    std::chrono::milliseconds keepAlive{2000}; ///< busy lines this often while a command waits
    std::chrono::milliseconds bootTime{0};     ///< after a restart, deaf until it says `start`
    /// The first copy of this numbered line arrives with one byte changed on the way.
    std::optional<std::uint64_t> corruptLine;
    /// The answer to M503, its lines without their ends.
    std::vector<std::string> report{"echo:; Steps per unit:",
                                    "echo:  M92 X80.00 Y80.00 Z400.00 E93.00",
                                    "echo:; Max feedrates (units/s):",
                                    "echo:  M203 X300.00 Y300.00 Z5.00 E25.00",
                                    "echo:; Max Acceleration (units/s2):",
                                    "echo:  M201 X3000.00 Y2000.00 Z100.00 E5000.00",
                                    "echo:; Acceleration (units/s2) (P<print-accel> "
                                    "R<retract-accel> T<travel-accel>):",
                                    "echo:  M204 P1000.00 R1000.00 T2500.00",
                                    "echo:; Advanced (B<min_segment_time_us> S<min_feedrate> "
                                    "T<min_travel_feedrate> J<junc_dev>):",
                                    "echo:  M205 B20000.00 S0.00 T0.00 J0.08"};
};

/// A Marlin 2 for tests, keeping its rules on the link's simulated time: numbered lines checked
/// (number, checksum) and, when wrong, answered by `Error:` and `Resend:` with the rest of its
/// serial buffer thrown away; a small serial buffer whose overflow is lost; a command queue of
/// BUFSIZE lines read only while no command waits; one `ok` per line once run; moves planned
/// into a planner of so many blocks and run one after another at their feed, without ramps;
/// `echo:busy:` lines while a command waits (a full planner, G4, M400, M0); M0 waits for M108
/// or its display's button; `M503` reports; M410 empties the planner; M112 kills it.
class FakeMarlin : public LinkPeer {
  public:
    /// Running since `start`, its start-up said long ago.
    FakeMarlin(FakeMarlinMachine machine, LinkTime start);

    void receive(std::string_view bytes, LinkTime time) override;
    std::string runUntil(LinkTime time) override;
    std::optional<LinkTime> nextChange() const override;

    void pressButton(); ///< its display's button: ends M0
    void restart();     ///< its reset button: says `start`, forgets everything
    void kill();        ///< halts, as a thermal fault or M112 does

    std::array<double, 3> position() const { return position_; } ///< where its moves ended
    bool moving() const { return !planner_.empty(); }
    int movesDone() const { return movesDone_; } ///< moves run to their end
    bool killed() const { return killed_; }
    std::size_t bytesLost() const { return bytesLost_; }
    int resendsAsked() const { return resends_; }
    /// Every command taken into its queue, without number and checksum.
    const std::vector<std::string>& linesTaken() const { return linesTaken_; }

  private:
    struct Block {
        std::array<double, 3> target;
        LinkTime::duration duration;
    };
    struct Command {
        std::string text;
        std::optional<std::int64_t> number;
    };

    void advanceTo(LinkTime time);
    void work();
    void readSerial();
    bool takeLine(std::string line);
    void lineError(const std::string& error);
    void emergency(const std::string& line);
    bool runFront();
    bool runCommand(const std::string& command);
    bool move(const std::string& command);
    bool pause();
    bool dwell(const std::string& command);
    void quickStop();
    std::optional<LinkTime> nextEvent() const;
    void answer(const Command& command);
    void say(const std::string& line) { said_ += line + "\n"; }

    FakeMarlinMachine machine_;
    LinkTime time_;
    std::string said_;
    std::string serial_;   ///< the receive buffer
    std::string arriving_; ///< the line the emergency parser is reading
    std::deque<Command> queue_;
    std::deque<Block> planner_;
    LinkTime blockEnd_{};
    std::optional<LinkTime> dwellEnd_;
    std::optional<LinkTime> nextBusy_; ///< while a command waits
    std::optional<LinkTime> bootEnd_;
    std::array<double, 3> position_{};
    double feedPerMinute_ = 1500;
    bool relative_ = false;
    bool pausing_ = false; ///< M0 runs: waits for the planner, then for its user
    bool waitingForUser_ = false;
    bool killed_ = false;
    std::int64_t lastNumber_ = 0;
    std::size_t bytesLost_ = 0;
    int resends_ = 0;
    int movesDone_ = 0;
    bool corrupted_ = false;
    std::vector<std::string> linesTaken_;
};

} // namespace chimex
