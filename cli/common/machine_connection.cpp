// SPDX-License-Identifier: MIT
#include "machine_connection.h"

#include "cli/common/command.h"
#include "files/failure.h"
#include "link/machine_players.h"

#include <sstream>

namespace chimex {

MachineConnection connectMachine(const std::string& text, MachineLinks* links) {
    MachineConnection machine;
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
    machine.link = links->open(machine.address.endpoint);
    machine.player = playerFor(machine.address.controller, *machine.link);
    const std::string report = machine.player->start(machine.link->now() + machineAnswerLimit);
    if (report.empty()) {
        throw UsageError("--machine " + text +
                         ": the machine cannot report its settings over the link; give them "
                         "as a file");
    }
    std::istringstream in(report);
    machine.settings = readMachineSettings(in, "the settings the machine at " + text + " reported");
    return machine;
}

} // namespace chimex
