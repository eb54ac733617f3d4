// SPDX-License-Identifier: MIT
#include "preview_command.h"

#include "cli/common/command_options.h"
#include "cli/preview/preview_layout.h"
#include "cli/preview/preview_svg.h"
#include "files/atomic_output_file.h"
#include "partfile/number_text.h"

namespace chimex {
namespace {

ExitStatus run(const Options& options, Console console) {
    const std::string name = onlyInput(options, "preview", "PART file");
    const std::filesystem::path out = requiredOutput(options, "preview", name);
    PreviewOptions preview;
    preview.limits = machineLimits(settingsChoice(options));
    if (options.values.count("--unit")) {
        preview.unit = options.values.at("--unit");
    }
    std::ifstream file = openInput(name, "the part file", Reading::Twice);
    AtomicOutputFile output(out);
    const PreviewSummary summary = writePreview(file, name, preview, output.stream(), console.err);
    output.commit();
    console.err << out.string() << ": " << summary.notes.text() << ", running time "
                << durationText(summary.seconds) << "\n";
    return ExitStatus::Done;
}

} // namespace

Command previewCommand() {
    return {
        "preview",
        {"--output", "--settings", "--unit", "--machine"},
        {},
        R"(  chimex-cli preview PART -o OUT.svg [--machine FILE] [--settings FILE]
                   [--unit NAME]
)",
        R"(preview Draws PART as an SVG picture: the travel box from the settings with the tool path in a
        top view (X and Y) and a side view (X and Z), each jog in the colour of the key whose
        note its speed sounds, the start and end marked, a time line of which axis jogs when and
        the pauses, and the extents and running time. Warns about jogs that end outside the box.
        --settings FILE  the travel box and speeds (default: as for render)
        --unit NAME      the machine's length unit for the labels (default: units)
        --machine FILE   as for render: its travel and fastest speeds bound the settings'
                         limits (each the smaller), and it names the unit
        --machine LINK   as for render: the same, read from a machine's link
)",
        {},
        run};
}

} // namespace chimex
