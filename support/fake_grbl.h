// SPDX-License-Identifier: MIT
#pragma once

#include "platform/fake/fake_machine_link.h"

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// The settings of the machine a FakeGrbl drives, in mm, mm/min and mm/s².
struct FakeGrblMachine {
    std::array<double, 3> travel{300, 200, 80}; ///< $130-$132: machine X from -travel to 0
    std::array<double, 3> maxRatePerMinute{3000, 3000, 600};
    std::array<double, 3> accel{500, 500, 100};
    int receiveBytes = 128;
    int plannerBlocks = 15;
    bool homing = true;     ///< $22: starts in alarm until $H or $X
    bool softLimits = true; ///< $20
    int statusMask = 1;     ///< $10: 1 reports MPos (else WPos), 2 adds Bf:
    /// $1=255 keeps the motors on, so a stop costs no delay: the only kind the fake models.
    int stepIdleDelay = 255;
    std::array<double, 3> workOffset{};
    double pullOff = 1; ///< $27: where homing leaves each axis, below 0
};

/// A GRBL 1.1 controller for tests, keeping its rules: lines answered by ok or error:N in order;
/// a receive buffer of known size whose overflow is lost; a planner of so many blocks that a line
/// waits for; real-time bytes taken at once; `$J=` refused past the travel (error:15) and only in
/// Idle or Jog; a jog cancel that acts only while jogging and leaves the lines still in the
/// receive buffer to run; no line taken in a hold; the step segments already prepared run before
/// a hold or jog cancel slows; alarms until `$H`, `$X` or a reset, each said over half a second
/// while deaf; moves at their feed with acceleration ramps, collinear moves joined at speed, on
/// 1 ms steps of the link's time. Checked against runs of GRBL 1.1h (tests/controllers/grbl).
class FakeGrbl : public LinkPeer {
  public:
    /// Powered on at `start`: says its welcome.
    explicit FakeGrbl(FakeGrblMachine machine, LinkTime start);

    void receive(std::string_view bytes, LinkTime time) override;
    std::string runUntil(LinkTime time) override;
    std::optional<LinkTime> nextChange() const override;

    std::array<double, 3> position() const { return position_; } ///< machine position
    std::string state() const;                                   ///< as its status reports say
    std::size_t peakReceived() const { return peakReceived_; }   ///< most bytes it held at once
    std::size_t bytesLost() const { return bytesLost_; }         ///< overflow of its buffer
    const std::vector<std::string>& linesTaken() const { return linesTaken_; }

  private:
    enum class State { Idle, Run, Hold, Jog, Alarm };
    struct Block {
        std::array<double, 3> target;
        std::array<double, 3> direction;
        double length;
        double cruise; ///< mm/s
        double accel;  ///< mm/s² along the move
        bool jog;
    };
    struct Modes {
        double unit = 1; ///< mm per unit (G21, G20)
        bool relative = false;
        bool rapid = true;
        double feedPerMinute = 0;
    };
    struct Line;
    static Line readLine(const std::string& raw);

    void advanceTo(LinkTime time);
    void welcome(bool alarm);
    void realTime(unsigned char byte);
    void reset();
    void takeLines();
    bool canTake(const Line& line) const;
    std::string execute(const Line& line);
    std::string system(const std::string& text);
    std::string jog(const Line& line);
    std::string gcode(const Line& line);
    std::string move(const Line& line, bool jog);
    void plan(const std::array<double, 3>& target, double feedPerMinute, bool jog);
    bool insideTravel(const std::array<double, 3>& target) const;
    void softLimitAlarm();
    void tick();
    double allowedSpeed() const;
    void advance(double distance);
    void stopped();
    void reportStatus();
    void say(const std::string& line) { said_ += line + "\r\n"; }
    void sayLater(double seconds, const std::string& line, bool restart = false);

    FakeGrblMachine machine_;
    LinkTime time_;
    std::string said_;
    std::string received_; ///< the receive buffer, real-time bytes taken out
    std::size_t peakReceived_ = 0;
    std::size_t bytesLost_ = 0;
    std::vector<std::string> linesTaken_;

    State state_;
    bool critical_ = false;  ///< a soft-limit alarm: nothing but a reset is heard
    bool stopping_ = false;  ///< a feed hold or jog cancel is slowing the machine
    bool paused_ = false;    ///< M0 waits for a cycle start
    bool okOnReset_ = false; ///< the line that raised a soft-limit alarm is answered at the reset
    double brakeDelay_ = 0;  ///< seconds the step segments already prepared still run at speed
    LinkTime deafUntil_{};   ///< busy reporting an alarm or resetting: bytes are lost
    struct Later {
        LinkTime at;
        std::string line;
        bool restart; ///< then starts again, in alarm
    };
    std::deque<Later> later_;
    double dwellLeft_ = 0; ///< seconds of G4 still to wait
    Modes modes_;
    std::array<double, 3> position_{};
    double speed_ = 0;
    std::deque<Block> planner_;
    int reportsSinceOffset_ = -1;
};

} // namespace chimex
