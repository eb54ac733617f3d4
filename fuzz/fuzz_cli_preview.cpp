// SPDX-License-Identifier: MIT
// Any text as a part file, its first line as the file's name: the timed reading starts events in
// order with finite, non-negative lengths, and the preview is well-formed XML whose coordinates
// are finite numbers. Only InputFailure (a line that is not well-formed) may stop either.
#include "cli/preview/preview_svg.h"
#include "files/failure.h"
#include "fuzz_check.h"
#include "machinefile/timed_move_reader.h"
#include "support/xml_reader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

void checkTiming(const std::string& part) {
    std::istringstream in(part);
    TimedMoveReader reader(in, "part");
    double previous = 0;
    while (const auto timed = reader.next()) {
        CHIMEX_FUZZ_CHECK(timed->start >= previous && std::isfinite(timed->start));
        CHIMEX_FUZZ_CHECK(timed->seconds >= 0 && std::isfinite(timed->seconds));
        CHIMEX_FUZZ_CHECK(timed->timed || timed->seconds == 0);
        previous = timed->start;
    }
    CHIMEX_FUZZ_CHECK(reader.endSeconds() >= previous && std::isfinite(reader.endSeconds()));
}

/// Coordinates are finite numbers and path data holds only numbers and M, H and V.
void checkNumbers(const test::Element& element) {
    for (const auto& [key, value] : element.attributes) {
        if (key == "d") {
            CHIMEX_FUZZ_CHECK(value.find_first_not_of("0123456789.-MHV \r\n") == std::string::npos);
        } else if (std::string(" x y x1 y1 x2 y2 cx cy width height ").find(" " + key + " ") !=
                   std::string::npos) {
            CHIMEX_FUZZ_CHECK(std::isfinite(std::stod(value)));
        }
    }
    for (const test::Element& child : element.children) {
        checkNumbers(child);
    }
}

void checkPreview(const std::string& name, const std::string& part) {
    std::istringstream in(part);
    std::ostringstream svg;
    std::ostringstream err;
    writePreview(in, name, PreviewOptions{}, svg, err);
    try {
        const test::Element root = test::XmlReader::read(svg.str());
        CHIMEX_FUZZ_CHECK(root.byId("top-view-travel-box") != nullptr);
        checkNumbers(root);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        CHIMEX_FUZZ_CHECK(!"the preview is well-formed XML");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto newline = input.find('\n');
    const std::string name = input.substr(0, std::min<std::size_t>(newline, 80));
    const std::string part = newline == std::string::npos ? "" : input.substr(newline + 1);
    try {
        checkTiming(part);
        checkPreview(name, part);
    } catch (const InputFailure&) {
    }
    return 0;
}
