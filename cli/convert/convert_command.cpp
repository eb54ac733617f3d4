// SPDX-License-Identifier: MIT
#include "convert_command.h"

#include "cli/common/command_options.h"
#include "cli/convert/gcode_convert.h"

namespace chimex {
namespace {

ExitStatus run(const Options& options, Console console) {
    const std::string name = onlyInput(options, "convert", "PART file");
    const std::filesystem::path out = requiredOutput(options, "convert", name);
    const GcodeFormat format = gcodeFormat(options);
    openInput(name, "the part file", Reading::Twice); // refuses what cannot be read again
    const long long notes =
        convertPartFile(name, name, format, machineLimits(settingsChoice(options)), out);
    console.err << out.string() << ": " << notes << " notes\n";
    return ExitStatus::Done;
}

} // namespace

Command convertCommand() {
    return {
        "convert",
        {"--output", "--settings", "--dialect", "--unit"},
        {},
        R"(  chimex-cli convert PART -o OUT --dialect D --unit mm|in [--settings FILE]
)",
        R"(convert Writes the part file PART as G-code, move for move: the header comments state the
        extents and fastest feeds, an operator stop (M0) comes before the move to 0, 0, 0, then
        each jog is one G1 at its speed in units a minute and each pause a dwell (G4 P: seconds;
        for Marlin milliseconds). The part file must pass check against the settings, and so
        must the G-code written; otherwise nothing is written.
        --dialect D      grbl, linuxcnc or marlin
        --unit U         the machine's length unit: mm (G21) or in (G20)
        --settings FILE  the limits to check against (default: INITIAL)
)",
        {},
        run};
}

} // namespace chimex
