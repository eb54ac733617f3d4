// SPDX-License-Identifier: MIT
#include "play_program.h"

#include "cli/check/check_command.h"

#include <sstream>

namespace chimex {

std::string readProgram(const std::string& name) {
    std::ifstream in = openInput(name, "the G-code", Reading::Once);
    std::string program;
    std::string chunk(std::size_t(1) << 16, '\0');
    while (in.read(chunk.data(), std::streamsize(chunk.size())) || in.gcount() > 0) {
        program.append(chunk.data(), std::size_t(in.gcount()));
        if (program.size() > longestProgram) {
            throw InputFailure(name, 0,
                               "longer than any tune play takes (" +
                                   std::to_string(longestProgram >> 20) + " MB)");
        }
    }
    if (in.bad()) {
        throw InputFailure(name, 0, "cannot be read");
    }
    return program;
}

std::vector<std::string> programLines(const std::string& program) {
    std::vector<std::string> lines;
    std::istringstream in(program);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<CheckReport> checkBeforePlay(const Options& options, const std::string& program,
                                           const std::string& name, GcodeDialect controller,
                                           std::ostream& err) {
    std::istringstream file(program);
    std::ostringstream checked;
    const CheckReport report = checkInput(options, file, name, checked, err);
    if (!report.clean()) {
        err << checked.str() << name << " fails check: nothing was played\n";
        return std::nullopt;
    }
    if (!report.gcode) {
        err << name << " is a part file: play takes G-code (render --format gcode, or convert)\n";
        return std::nullopt;
    }
    if (report.gcode->dialect != controller) {
        err << name << " is G-code for " << dialectName(report.gcode->dialect)
            << ", and the machine is " << dialectName(controller) << ": nothing was played\n";
        return std::nullopt;
    }
    return report;
}

} // namespace chimex
