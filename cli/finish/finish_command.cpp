// SPDX-License-Identifier: MIT
#include "finish_command.h"

#include "cli/common/command_options.h"
#include "cli/finish/finish_journal.h"
#include "files/atomic_output_file.h"

namespace chimex {
namespace {

ExitStatus run(const Options& options, Console console) {
    const std::string name = onlyInput(options, "finish", "JOURNAL");
    const std::filesystem::path out = requiredOutput(options, "finish", name);
    const MachineLimits limits = machineLimits(settingsChoice(options));
    std::ifstream file = openInput(name, "the journal", Reading::Twice);
    AtomicOutputFile output(out);
    const LeftOut leftOut = [&] {
        try {
            return readingInput(name,
                                [&] { return finishJournal(file, name, limits, output.stream()); });
        } catch (const InputFailure&) {
            throw;
        } catch (const Failure& failure) {
            if (output.stream()) {
                throw;
            }
            throw Failure(out.string() + ": " + failure.what()); // the writer knows no name
        }
    }();
    output.commit();
    if (leftOut.zeroBytes > 0) {
        console.err << name << ": ends in " << leftOut.zeroBytes
                    << " NUL bytes, as a power cut leaves where writes never reached the disk; "
                       "left out\n";
    }
    if (leftOut.line) {
        console.err << name << ": line " << leftOut.line->line << " has no line end, so it may be "
                    << "cut short; left out: \"" << leftOut.line->text << "\"\n";
    }
    console.err << out.string() << ": finished from the journal " << name << "\n";
    return ExitStatus::Done;
}

} // namespace

Command finishCommand() {
    return {
        "finish",
        {"--output", "--settings"},
        {},
        R"(  chimex-cli finish JOURNAL -o PART [--settings FILE]
)",
        R"(finish  Turns the journal that the desktop program leaves in the tune file when it ends without
        finishing it (a crash, a power cut) into the finished part file PART: the header with
        the extents and fastest speeds the jogs reach, the journal line for line, the footer.
        Refuses G-code and a journal with a line that is not well-formed or a jog outside the
        limits. A last line without its line end (cut by the crash) is left out, and said so;
        so are NUL bytes at the end, which a power cut leaves where writes never reached the
        disk. A file of nothing but NUL bytes is refused.
        --settings FILE  the limits the jogs must keep (default: INITIAL)
)",
        {},
        run};
}

} // namespace chimex
