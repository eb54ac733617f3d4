// SPDX-License-Identifier: MIT
#pragma once

#include "cli/common/command.h"
#include "cli/common/command_options.h"
#include "machine/machine_settings.h"

#include <istream>

namespace chimex {

/// The travel and fastest speeds `machine` bounds the settings by (infinite where it gives none),
/// its lengths times `lengthFactor`: an axis's travel is its length, max − min (the tune's 0
/// being the work zero at min), or max alone; X and Y share the smaller of their fastest speeds.
MachineLimits machineBound(const MachineSettings& machine, double lengthFactor = 1);

/// The options `machine` implies for `command`, in the unit `unit` (the machine's own lengths
/// converted to it), each only where the command takes it and the command line does not give it
/// (nor an option that sets the same value): --format gcode, --dialect, --unit, each axis's
/// steps per unit, --accel (the smaller of X's and Y's), --z-accel, --junction-deviation,
/// --step-idle-delay and --servo-period, as far as the effective dialect uses them.
Options withMachine(Options options, const MachineSettings& machine, const Command& command);

/// What the machine of --machine FILE (as read into `options`) would state it is timed for in a
/// file of `file`'s dialect and unit, each option the command line gives taking the place of the
/// file's value.
TimedFor machineTimedFor(const Options& options, const GcodeFormat& file);

/// Reads --machine FILE when the command line gives it and applies withMachine; the options as
/// they stand otherwise. Throws InputFailure naming the file when it cannot be read. A link
/// (`grbl:/dev/ttyUSB0`) is opened through `links` and the settings the machine reports read,
/// in any state (a GRBL in alarm reports them too); LinuxCNC's from the INI given beside it.
Options withMachineFile(Options options, const Command& command, MachineLinks* links);

/// For a command that takes no --unit (check, listen): the options with --machine's values in the
/// unit of the G-code `file` names itself, rather than the machine's own. Leaves `file` where it
/// was (seekable, as gcodeFormatOf needs).
Options inFileUnit(const Options& options, std::istream& file, const Command& command);

} // namespace chimex
