// SPDX-License-Identifier: MIT
// Renders a score as `chimex-cli render SCORE --format gcode --dialect linuxcnc --unit mm
// --steps-per-unit 80 --accel ACCEL --pause --settings SETTINGS` does, for a machine whose task
// wakes every TASK_CYCLE seconds (0: not known), for the simulation to play until chimex-cli reads
// the cycle from the machine's own settings.
// Usage: notes_gcode SCORE OUT.ngc ACCEL TASK_CYCLE SETTINGS
#include "cli/common/motion_options.h"
#include "cli/common/settings_choice.h"
#include "cli/convert/timed_gcode_spool.h"
#include "cli/render/render.h"
#include "cli/score/score_source.h"

#include <cmath>
#include <fstream>
#include <iostream>
#include <string>

using namespace chimex;

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: notes_gcode SCORE OUT.ngc ACCEL TASK_CYCLE SETTINGS\n";
        return 2;
    }
    const GcodeFormat format{GcodeDialect::LinuxCnc, LengthUnit::Millimetre};
    const double accel = std::stod(argv[3]);
    const double resolution = std::pow(10.0, gcodeDecimals);
    Controller machine = controllerFor({accel, accel, 0, 0, resolution, resolution}, format);
    machine.taskCycle = std::stod(argv[4]);
    const SettingsChoice settings{std::filesystem::path(argv[5]), true};
    std::ifstream score(argv[1]);
    const OpenedScore opened = openScore(score, argv[1], {});
    TimedGcodeSpool moves(machine, machineLimits(settings), 2); // render's start pause
    renderMoves(*opened.notes, settings, moves, std::cerr, {}, MotorTuning{80, 80});
    std::ofstream out(argv[2], std::ios::binary);
    moves.writeGcode(out, format);
    return out.good() ? 0 : 1;
}
