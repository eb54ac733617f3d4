// SPDX-License-Identifier: MIT
#include "linuxcnc_player.h"

#include <algorithm>

namespace chimex {

namespace {

/// A program that shows no run this long after `set run`, and has not moved past its first line,
/// was not started.
constexpr std::chrono::seconds startWithin{1};

const char* const atTheMachine = " in LinuxCNC's own screen";

std::string jointList(const std::vector<int>& joints) {
    std::string list;
    for (std::size_t i = 0; i < joints.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == joints.size() ? " and " : ", ") + std::to_string(joints[i]);
    }
    return list;
}

} // namespace

LinuxcncPlayer::LinuxcncPlayer(MachineLink& link, LinuxcncPlayerOptions options)
    : link_(link), options_(std::move(options)), session_(link) {}

LinkTime LinuxcncPlayer::replyDeadline() {
    return link_.now() + options_.replyWithin;
}

std::string LinuxcncPlayer::start(LinkTime deadline) {
    session_.start(deadline, options_.login);
    checkReady(deadline);
    return {};
}

std::string LinuxcncPlayer::readSettings(LinkTime deadline) {
    session_.start(deadline, options_.login);
    return {};
}

void LinuxcncPlayer::checkReady(LinkTime deadline) {
    const std::string thenPlay = ", then play again";
    if (session_.estop(deadline)) {
        throw MachineStopped(std::string("LinuxCNC is in E-stop: release it and switch the machine "
                                         "on") +
                             atTheMachine + " (F1, then F2 in AXIS), home it" + thenPlay);
    }
    if (!session_.machineOn(deadline)) {
        throw MachineStopped(std::string("LinuxCNC's machine is off: switch it on") + atTheMachine +
                             " (F2 in AXIS), home it" + thenPlay);
    }
    const auto homed = session_.jointsHomed(deadline);
    std::vector<int> notHomed;
    for (int joint = 0; joint < options_.joints; ++joint) {
        if (std::size_t(joint) >= homed.size() || !homed[joint]) {
            notHomed.push_back(joint);
        }
    }
    if (!notHomed.empty()) {
        throw MachineStopped("LinuxCNC's machine is not homed (joint " + jointList(notHomed) +
                             "): home it" + atTheMachine + " (Ctrl+Home in AXIS)" + thenPlay);
    }
    if (session_.programStatus(deadline) != LinuxcncProgramStatus::Idle) {
        throw MachineStopped("LinuxCNC is running a program already: let it end or stop it" +
                             thenPlay);
    }
}

void LinuxcncPlayer::play(const std::vector<std::string>& lines, PlayWatcher& watcher) {
    open();
    session_.set("run", replyDeadline());
    follow(lines.size(), watcher);
}

void LinuxcncPlayer::open() {
    const std::string& path = options_.programPath;
    if (!path.starts_with('/') || path.find_first_of("\r\n") != std::string::npos) {
        throw Failure("LinuxCNC opens the program by its absolute path on its own computer, not " +
                      std::string(path.empty() ? "an empty path" : "\"" + path + "\""));
    }
    // LinuxCNC will not open a program while another is open; an abort closes it.
    session_.set("abort", replyDeadline());
    session_.set("mode auto", replyDeadline());
    session_.forgetErrors(replyDeadline());
    session_.set("open " + path, replyDeadline());
    std::string reason = session_.error(replyDeadline());
    if (const std::string open = session_.get("program", replyDeadline());
        reason.empty() && open != path) {
        reason = "it has " + (open == "NONE" ? "no program" : "\"" + open + "\"") + " open instead";
    }
    if (!reason.empty()) {
        throw MachineStopped("LinuxCNC could not open " + path + ": " + reason +
                             " (LinuxCNC reads the file on its own computer: it must be readable "
                             "there, at that path)");
    }
}

void LinuxcncPlayer::follow(std::uint64_t lines, PlayWatcher& watcher) {
    const LinkTime started = link_.now();
    bool running = false;
    std::uint64_t finished = 0;
    while (true) {
        if (watcher.stopAsked()) {
            return;
        }
        const auto status = session_.programStatus(replyDeadline());
        if (const std::string error = session_.error(replyDeadline()); !error.empty()) {
            stopAfter("LinuxCNC stopped the program: " + error);
        }
        const long line = session_.programLine(replyDeadline());
        // The line being run has not finished; those before it have.
        const auto done = std::min<std::uint64_t>(lines, line > 1 ? std::uint64_t(line - 1) : 0);
        if (done > finished) {
            watcher.progress(finished = done);
        }
        if (status == LinuxcncProgramStatus::Paused) {
            if (!resume(watcher, line)) {
                return;
            }
            continue;
        }
        running = running || status == LinuxcncProgramStatus::Running;
        if (status == LinuxcncProgramStatus::Idle &&
            (running || link_.now() - started >= startWithin)) {
            if (!running && line == 0) {
                stopAfter("LinuxCNC did not start the program");
            }
            finish();
            watcher.progress(lines);
            return;
        }
        session_.wait(link_.now() + options_.pollEvery);
    }
}

/// Resumes the program paused at `line` once the watcher says so, and waits until it goes on: no
/// longer paused, or paused again further on. False, with nothing done, when the watcher says not
/// to resume.
bool LinuxcncPlayer::resume(PlayWatcher& watcher, long line) {
    if (!watcher.paused("LinuxCNC paused the program (its stop, M0) and waits to be resumed") ||
        watcher.stopAsked()) {
        return false;
    }
    session_.set("resume", replyDeadline());
    const LinkTime deadline = replyDeadline();
    while (session_.programStatus(deadline) == LinuxcncProgramStatus::Paused &&
           session_.programLine(deadline) == line) {
        if (link_.now() >= deadline) {
            stopAfter("LinuxCNC did not resume the program");
        }
        session_.wait(std::min(deadline, link_.now() + options_.pollEvery));
    }
    return true;
}

/// The program is idle: it reached its end, unless LinuxCNC said otherwise as it stopped.
void LinuxcncPlayer::finish() {
    if (const std::string error = session_.error(replyDeadline()); !error.empty()) {
        throw MachineStopped("LinuxCNC stopped the program: " + error);
    }
    if (session_.estop(replyDeadline()) || !session_.machineOn(replyDeadline())) {
        throw MachineStopped("LinuxCNC went into E-stop or was switched off during the program");
    }
}

/// Aborts the program and throws `what`; an abort that fails is told as well.
void LinuxcncPlayer::stopAfter(const std::string& what) {
    try {
        stop();
    } catch (const Failure& failure) {
        throw MachineStopped(what + "; the abort that followed failed too: " + failure.what());
    }
    throw MachineStopped(what);
}

std::string LinuxcncPlayer::stop() {
    session_.set("abort", replyDeadline());
    return {};
}

} // namespace chimex
