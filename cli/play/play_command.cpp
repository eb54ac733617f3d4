// SPDX-License-Identifier: MIT
#include "play_command.h"

#include "cli/check/check_command.h"
#include "cli/common/command_options.h"
#include "cli/common/machine_connection.h"
#include "cli/common/machine_options.h"
#include "cli/play/play_console.h"
#include "cli/play/play_program.h"
#include "link/grbl_player.h"
#include "link/machine_stopped.h"

#include <cmath>
#include <filesystem>

namespace chimex {
namespace {

constexpr std::string_view prefix = "chimex-cli: play: ";

std::string requiredLink(const Options& options) {
    const auto link = options.values.find("--machine");
    if (link == options.values.end()) {
        throw UsageError("play needs --machine LINK, such as grbl:/dev/ttyUSB0");
    }
    if (!namesLink(link->second)) {
        throw UsageError("play --machine " + link->second +
                         ": give the machine's link (grbl:/dev/ttyUSB0[:115200], "
                         "marlin:/dev/ttyACM0, linuxcnc:localhost), not a file");
    }
    return link->second;
}

/// The file's absolute path, which LinuxCNC opens on its own computer.
std::string programPath(const std::string& name, const std::string& link) {
    if (name == "-") {
        throw UsageError("play --machine " + link +
                         ": LinuxCNC reads the program itself, so it cannot come from standard "
                         "input; give the file's path");
    }
    return std::filesystem::absolute(name).lexically_normal().string();
}

/// What GRBL's planner did while the notes played, in a line; empty for other controllers.
std::string plannerNote(const MachinePlayer& player) {
    const auto* grbl = dynamic_cast<const GrblPlayer*>(&player);
    if (!grbl) {
        return {};
    }
    const PlannerFill& fill = grbl->plannerFill();
    if (fill.reports == 0) {
        return "GRBL's status reports gave no planner fill (add 2 to its $10 to have it "
               "measured)\n";
    }
    const std::string counts = std::to_string(fill.reports) + " status reports, never fewer than " +
                               std::to_string(fill.blocks - fill.mostFree.value_or(0)) +
                               " of its " + std::to_string(fill.blocks) +
                               " blocks queued outside the rests";
    if (fill.dryReports == 0) {
        return "GRBL's planner never ran dry while the notes played (" + counts + ")\n";
    }
    return "GRBL's planner ran dry in " + std::to_string(fill.dryReports) + " of " + counts +
           ": the tune may have stumbled there\n";
}

/// Stops the machine and says what to do next.
ExitStatus stopMachine(MachinePlayer& player, std::ostream& err) {
    try {
        const std::string advice = player.stop();
        if (!advice.empty()) {
            err << prefix << advice << "\n";
        }
        return ExitStatus::MachineRefused;
    } catch (const LinkFailure& lost) {
        err << prefix << "the link was lost while stopping the machine (" << lost.what()
            << "): stop it with its own stop or reset button, then home it again\n";
        return ExitStatus::LinkLost;
    }
}

ExitStatus linkLost(const LinkFailure& lost, MachinePlayer& player, std::ostream& err) {
    err << prefix << "the link to the machine was lost: " << lost.what() << "\n";
    try {
        player.stop(); // a link that only fell silent may still carry the reset
    } catch (const Failure&) {
    }
    err << prefix
        << "the machine may still be moving: stop it with its own stop or reset button, then "
           "home it again\n";
    return ExitStatus::LinkLost;
}

ExitStatus playOn(MachineConnection& machine, const std::vector<std::string>& lines,
                  PlayConsole& watcher, const std::string& name, Console console) {
    MachinePlayer& player = *machine.player;
    try {
        player.play(lines, watcher);
    } catch (const MachineStopped& stopped) {
        watcher.endBar();
        console.err << prefix << name;
        if (stopped.sentLine > 0) {
            console.err << ": line " << stopped.sentLine;
        }
        console.err << ": " << stopped.what() << "\n";
        return stopMachine(player, console.err);
    } catch (const LinkFailure& lost) {
        watcher.endBar();
        return linkLost(lost, player, console.err);
    }
    watcher.endBar();
    if (watcher.linesFinished() < lines.size()) {
        console.err << prefix
                    << (watcher.stopAsked() ? "stopped by Ctrl+C or a signal"
                                            : "not resumed at the file's stop")
                    << "\n";
        return stopMachine(player, console.err);
    }
    console.out << name << ": played to the end, " << watcher.notes() << " notes in "
                << std::lround(watcher.elapsed()) << " s; the machine is idle\n";
    console.err << plannerNote(player);
    return ExitStatus::Done;
}

ExitStatus run(const Options& typed, Console console) {
    const std::string name = onlyInput(typed, "play", "FILE");
    const std::string link = requiredLink(typed);
    const std::string program = readProgram(name);
    const bool linuxcnc = link.starts_with("linuxcnc:");
    MachineConnection machine = connectMachine(
        {link, typed.machineFile, true, linuxcnc ? programPath(name, link) : std::string()},
        console.links);
    const Options options = withMachine(typed, machine.settings, checkCommand());
    const auto report =
        checkBeforePlay(options, program, name, machine.address.controller, console.err);
    if (!report) {
        return ExitStatus::Violations;
    }
    const std::vector<std::string> lines = programLines(program);
    const StopSignals signals;
    PlayConsole watcher(console, *machine.link, notesBeforeLines(program, lines.size()),
                        report->runningSeconds, options.flags.count("--yes") != 0, signals);
    return playOn(machine, lines, watcher, name, console);
}

} // namespace

Command playCommand() {
    Command command{
        "play",
        {"--machine", "--settings"},
        {"--yes"},
        R"(  chimex-cli play FILE --machine LINK [--machine INI] [--settings FILE] [--yes]
)",
        R"(play    Checks the G-code file FILE as check --machine does, with the settings the machine
        reports, and plays it on the machine: a file that fails check, a part file, G-code
        for another controller or a file timed for other numbers than the machine's is
        refused and nothing moves. GRBL gets the file by character counting against its
        receive buffer, Marlin as numbered lines with checksums; LinuxCNC opens the file
        itself, by its absolute path, and runs it. At the file's stop (M0) it says what
        the machine waits for and resumes when Enter is pressed. A refused line, an alarm,
        Ctrl+C, SIGTERM or a closed terminal stops the machine (GRBL: feed hold, then soft
        reset; Marlin: M410, or M112 while it holds moves; LinuxCNC: abort): home it again
        before playing on. On a terminal a progress bar shows the notes played and the
        time elapsed and left.
        --machine LINK   the machine: grbl:/dev/ttyUSB0[:115200] or marlin:/dev/ttyACM0
                         [:250000] (a serial port by its absolute path, and its baud
                         rate), or linuxcnc:HOST[:5007] (linuxcncrsh); it must be idle,
                         not in alarm, and LinuxCNC on and homed. LinuxCNC reads FILE
                         itself: on another computer it must be there at the same path
        --machine INI    beside linuxcnc:HOST, required: the INI LinuxCNC runs with, for
                         the settings linuxcncrsh cannot report (GRBL and Marlin report
                         their own, and take no settings file beside the link)
        --settings FILE  the limits to check against (default: as for render), bounded by
                         the machine's travel and speeds
        --yes            resume at the file's stop at once, without waiting for Enter
)",
        "",
        run};
    command.opensMachine = true;
    return command;
}

} // namespace chimex
