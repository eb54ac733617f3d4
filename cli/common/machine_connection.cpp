// SPDX-License-Identifier: MIT
#include "machine_connection.h"

#include "cli/common/command.h"
#include "files/failure.h"
#include "link/machine_players.h"

#include <sstream>

namespace chimex {
namespace {

/// The settings file beside the link: LinuxCNC's INI, required there and refused elsewhere.
std::optional<MachineSettings> settingsBeside(const MachineRequest& request,
                                              GcodeDialect controller) {
    const std::string controllerName(dialectName(controller));
    if (controller != GcodeDialect::LinuxCnc) {
        if (request.settingsFile) {
            throw UsageError("--machine " + *request.settingsFile + ": " + controllerName +
                             " reports its own settings over the link; give the link alone");
        }
        return std::nullopt;
    }
    if (!request.settingsFile) {
        throw UsageError("--machine " + request.link +
                         ": linuxcncrsh cannot report the machine's settings; give its INI as "
                         "well, as in --machine linuxcnc:localhost --machine /path/to/machine.ini");
    }
    MachineSettings ini = readMachineFile(*request.settingsFile);
    if (ini.controller != GcodeDialect::LinuxCnc) {
        throw UsageError("--machine " + *request.settingsFile + " is " +
                         std::string(dialectName(ini.controller)) +
                         "'s settings, not a LinuxCNC INI: give the INI LinuxCNC runs with");
    }
    return ini;
}

} // namespace

MachineConnection connectMachine(const MachineRequest& request, MachineLinks* links) {
    MachineConnection machine;
    const std::string& text = request.link;
    try {
        machine.address = parseLinkAddress(text);
    } catch (const Failure& wrong) {
        throw UsageError("--machine: " + std::string(wrong.what()));
    }
    if (!links) {
        throw UsageError("--machine " + text +
                         ": this chimex-cli was built without links to machines");
    }
    if (!playerBuiltFor(machine.address.controller)) {
        throw UsageError("--machine " + text + ": playing on " +
                         std::string(dialectName(machine.address.controller)) +
                         " is not built yet (its settings can be given as a file)");
    }
    const auto ini = settingsBeside(request, machine.address.controller);
    LinuxcncPlayerOptions linuxcnc;
    linuxcnc.programPath = request.programPath;
    if (ini && ini->joints) {
        linuxcnc.joints = *ini->joints;
    }
    machine.link = links->open(machine.address.endpoint);
    machine.player = playerFor(machine.address.controller, *machine.link, linuxcnc);
    const LinkTime deadline = machine.link->now() + machineAnswerLimit;
    const std::string report =
        request.toPlay ? machine.player->start(deadline) : machine.player->readSettings(deadline);
    if (ini) {
        machine.settings = *ini;
        return machine;
    }
    std::istringstream in(report);
    machine.settings = readMachineSettings(in, "the settings the machine at " + text + " reported");
    return machine;
}

} // namespace chimex
