// SPDX-License-Identifier: MIT
#pragma once

#include "link/axis_values.h"
#include "link/machine_stopped.h"
#include "platform/machine_link.h"

#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// The passwords linuxcncrsh asks for (its --connectpw and --enablepw), by default its own.
struct LinuxcncLogin {
    std::string connectPassword = "EMC";
    std::string enablePassword = "EMCTOO";
};

enum class LinuxcncMode { Manual, Auto, Mdi };
enum class LinuxcncProgramStatus { Idle, Running, Paused };

/// Talks to LinuxCNC through linuxcncrsh, its text interface over TCP: one command, one reply.
/// Every `set` is answered ACK or NAK (the session turns verbose on); a `get` is answered by its
/// name and the value ("ESTOP OFF").
///
/// Every wait ends at a deadline on the link's clock. A wait that runs past it, like a lost link,
/// throws LinkFailure; a NAK, or a reply not understood, throws MachineStopped saying it in words
/// (with LinuxCNC's own error text when it gave one).
class LinuxcncSession {
  public:
    explicit LinuxcncSession(MachineLink& link);

    /// Says hello, turns verbose on and echo off, and takes control (`set enable`): linuxcncrsh
    /// gives control to one client at a time, the last that asked. Throws MachineStopped when a
    /// password is refused.
    void start(LinkTime deadline, const LinuxcncLogin& login = {});

    /// Sends `set WORDS` ("mode auto", "run") and waits for its ACK; a NAK throws MachineStopped
    /// naming the command and, when LinuxCNC gave one, its error text.
    void set(std::string_view words, LinkTime deadline);
    /// Sends `get WHAT` ("estop") and returns the value after the reply's name ("OFF").
    std::string get(std::string_view what, LinkTime deadline);

    bool estop(LinkTime deadline);
    bool machineOn(LinkTime deadline);
    /// Whether each joint is homed; linuxcncrsh reports six, whatever the machine has.
    std::vector<bool> jointsHomed(LinkTime deadline);
    LinuxcncMode mode(LinkTime deadline);
    LinuxcncProgramStatus programStatus(LinkTime deadline);
    /// The line of the open program being run (counting from 1); 0 before a run.
    long programLine(LinkTime deadline);
    /// The oldest error LinuxCNC reported that was not yet read, in its words; empty when none.
    std::string error(LinkTime deadline);
    /// Reads and forgets the errors LinuxCNC reported before now.
    void forgetErrors(LinkTime deadline);

    /// The machine's actual position (`abs_act_pos`), in its length unit (the INI's LINEAR_UNITS).
    AxisValues position(LinkTime deadline);
    /// Jogs `axis` (X, Y or Z) by `distance` (signed: its direction) at `speedPerSecond` (> 0, in
    /// the machine's unit per second; linuxcncrsh takes it per minute). Needs manual mode and a
    /// homed machine. A jog sent while one runs moves the target on by `distance` from the old
    /// target, without a stop between, at the new speed; a jog whose target would pass the soft
    /// limits is dropped without a word (LinuxCNC 2.9 answers ACK and nothing moves).
    void jogIncrement(char axis, double speedPerSecond, double distance, LinkTime deadline);
    /// Stops a jog of `axis`: it slows down at its acceleration.
    void jogStop(char axis, LinkTime deadline);

    /// Waits until `time`, reading what arrives.
    void wait(LinkTime time);

  private:
    std::string exchange(std::string_view command, LinkTime deadline);
    std::string nextLine(LinkTime deadline, std::string_view waitingFor);
    [[noreturn]] void refused(std::string_view command, LinkTime deadline);

    MachineLink& link_;
    std::string received_;
};

} // namespace chimex
