// SPDX-License-Identifier: MIT
#include "linuxcnc_session.h"

#include "link/number_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace chimex {

namespace {

/// At most this many errors are read and forgotten at once; LinuxCNC queues only a few.
constexpr int errorsForgotten = 32;

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return result;
}

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

/// The first word of `words`: the name linuxcncrsh answers a command by.
std::string_view firstWord(std::string_view words) {
    return words.substr(0, words.find(' '));
}

double numberIn(std::string_view text, std::string_view reply) {
    const auto value = numberOfText<double>(text);
    if (!value) {
        throw MachineStopped("linuxcncrsh sent " + quoted(reply) +
                             ", which this program cannot read as numbers");
    }
    return *value;
}

std::vector<std::string_view> wordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    while (!text.empty()) {
        const auto space = text.find(' ');
        if (space != 0) {
            words.push_back(text.substr(0, space));
        }
        text.remove_prefix(space == std::string_view::npos ? text.size() : space + 1);
    }
    return words;
}

/// The value of an enum whose values are named by `names` in order.
template <typename Enum>
Enum named(const std::string& word, std::initializer_list<std::string_view> names,
           std::string_view what) {
    const auto found = std::find(names.begin(), names.end(), word);
    if (found == names.end()) {
        throw MachineStopped("LinuxCNC reported the " + std::string(what) + " " + quoted(word) +
                             ", which this program does not know");
    }
    return Enum(found - names.begin());
}

/// A command as messages show it: without the password of `hello` and `set enable`.
std::string shown(std::string_view command) {
    for (std::string_view secret : {"hello", "set enable"}) {
        if (command.starts_with(secret)) {
            return std::string(secret);
        }
    }
    return std::string(command);
}

/// A number as linuxcncrsh reads it (a C float): fixed, six decimals.
std::string wireNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

} // namespace

LinuxcncSession::LinuxcncSession(MachineLink& link) : link_(link) {}

void LinuxcncSession::start(LinkTime deadline, const LinuxcncLogin& login) {
    received_.clear();
    const std::string hello = exchange("hello " + login.connectPassword + " chimex 1.0", deadline);
    if (hello == "HELLO NAK") {
        throw MachineStopped("linuxcncrsh refused the connect password (its --connectpw)");
    }
    if (!hello.starts_with("HELLO ACK")) {
        throw LinkFailure("the other end answered " + quoted(hello) +
                          " to hello: is it LinuxCNC's linuxcncrsh?");
    }
    set("verbose on", deadline);
    set("echo off", deadline);
    if (exchange("set enable " + login.enablePassword, deadline) != "SET ENABLE ACK") {
        throw MachineStopped("linuxcncrsh refused the enable password (its --enablepw)");
    }
}

void LinuxcncSession::set(std::string_view words, LinkTime deadline) {
    const std::string command = "set " + std::string(words);
    const std::string reply = exchange(command, deadline);
    if (reply == "SET " + upper(firstWord(words)) + " ACK") {
        return;
    }
    if (endsWith(reply, " NAK")) {
        refused(command, deadline);
    }
    throw MachineStopped("linuxcncrsh answered " + quoted(reply) + " to " + quoted(command) +
                         ", which this program does not understand");
}

std::string LinuxcncSession::get(std::string_view what, LinkTime deadline) {
    const std::string command = "get " + std::string(what);
    const std::string reply = exchange(command, deadline);
    const std::string name = upper(firstWord(what));
    if (reply.starts_with(name + " ")) {
        return reply.substr(name.size() + 1);
    }
    if (endsWith(reply, " NAK")) {
        throw MachineStopped("linuxcncrsh refused " + quoted(command));
    }
    throw MachineStopped("linuxcncrsh answered " + quoted(reply) + " to " + quoted(command) +
                         ", which this program does not understand");
}

/// A refused `set`: linuxcncrsh says NAK and nothing more; LinuxCNC may have said why.
void LinuxcncSession::refused(std::string_view command, LinkTime deadline) {
    const std::string reason = error(deadline);
    throw MachineStopped("LinuxCNC refused " + quoted(command) + ": " +
                         (reason.empty() ? "not in its present state (is the machine on and "
                                           "homed, in the right mode, and no other linuxcncrsh "
                                           "client in control?)"
                                         : reason));
}

bool LinuxcncSession::estop(LinkTime deadline) {
    return get("estop", deadline) == "ON";
}

bool LinuxcncSession::machineOn(LinkTime deadline) {
    return get("machine", deadline) == "ON";
}

std::vector<bool> LinuxcncSession::jointsHomed(LinkTime deadline) {
    std::vector<bool> homed;
    const std::string reply = get("joint_homed", deadline);
    for (const auto word : wordsOf(reply)) {
        homed.push_back(word == "YES");
    }
    return homed;
}

LinuxcncMode LinuxcncSession::mode(LinkTime deadline) {
    return named<LinuxcncMode>(get("mode", deadline), {"MANUAL", "AUTO", "MDI"}, "mode");
}

LinuxcncProgramStatus LinuxcncSession::programStatus(LinkTime deadline) {
    return named<LinuxcncProgramStatus>(get("program_status", deadline),
                                        {"IDLE", "RUNNING", "PAUSED"}, "program status");
}

long LinuxcncSession::programLine(LinkTime deadline) {
    const std::string line = get("program_line", deadline);
    return long(numberIn(line, line));
}

std::string LinuxcncSession::error(LinkTime deadline) {
    std::string text = get("error", deadline);
    return text == "OK" ? std::string() : text;
}

void LinuxcncSession::forgetErrors(LinkTime deadline) {
    for (int i = 0; i < errorsForgotten && !error(deadline).empty(); ++i) {
    }
}

AxisValues LinuxcncSession::position(LinkTime deadline) {
    const std::string reply = get("abs_act_pos", deadline);
    const auto words = wordsOf(reply);
    if (words.size() < 3) {
        throw MachineStopped("linuxcncrsh sent the position " + quoted(reply) +
                             ", which this program cannot read");
    }
    return {numberIn(words[0], reply), numberIn(words[1], reply), numberIn(words[2], reply)};
}

void LinuxcncSession::jogIncrement(char axis, double speedPerSecond, double distance,
                                   LinkTime deadline) {
    const char letter = char(std::toupper(static_cast<unsigned char>(axis)));
    if (letter != 'X' && letter != 'Y' && letter != 'Z') {
        throw Failure(std::string("LinuxCNC jogs X, Y or Z, not ") + axis);
    }
    if (!std::isfinite(speedPerSecond) || !std::isfinite(distance) || speedPerSecond <= 0 ||
        distance == 0) {
        throw Failure("a jog needs a speed above 0 and a distance other than 0");
    }
    // linuxcncrsh takes the direction from the speed's sign, and drops a negative increment.
    const double speedPerMinute = std::copysign(speedPerSecond * 60, distance);
    set(std::string("jog_incr ") + letter + " " + wireNumber(speedPerMinute) + " " +
            wireNumber(std::fabs(distance)),
        deadline);
}

void LinuxcncSession::jogStop(char axis, LinkTime deadline) {
    set(std::string("jog_stop ") + char(std::toupper(static_cast<unsigned char>(axis))), deadline);
}

void LinuxcncSession::wait(LinkTime time) {
    while (link_.now() < time) {
        received_ += link_.read(time);
    }
}

/// Sends one command and returns its reply, passing over the command's echo. linuxcncrsh ends
/// its lines with CR LF, some with LF CR; a line is what lies between any of them.
std::string LinuxcncSession::exchange(std::string_view command, LinkTime deadline) {
    link_.write(std::string(command) + "\r\n");
    std::string line = nextLine(deadline, command);
    while (line == command) {
        line = nextLine(deadline, command);
    }
    return line;
}

std::string LinuxcncSession::nextLine(LinkTime deadline, std::string_view waitingFor) {
    while (true) {
        const auto start = received_.find_first_not_of("\r\n");
        const auto end = received_.find_first_of("\r\n", start);
        if (start != std::string::npos && end != std::string::npos) {
            std::string line = received_.substr(start, end - start);
            received_.erase(0, end);
            return line;
        }
        if (link_.now() >= deadline) {
            throw LinkFailure("LinuxCNC did not answer in time (waiting for the answer to " +
                              quoted(shown(waitingFor)) + ")");
        }
        received_ += link_.read(deadline);
    }
}

} // namespace chimex
