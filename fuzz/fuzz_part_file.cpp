// SPDX-License-Identifier: MIT
// Any journal: the finished text is the header, the journal with every line ended by CR LF
// (compared with a plain byte-by-byte rendering of the line rule), and the footer.
#include "fuzz_check.h"
#include "partfile/finaliser.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

/// A line ends at CR, a LF right after it belongs to the line end, an unended last line is ended.
std::string linesEnded(const std::string& journal) {
    std::string out;
    bool lineOpen = false;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        if (journal[i] != '\r') {
            out += journal[i];
            lineOpen = true;
            continue;
        }
        out += "\r\n";
        lineOpen = false;
        if (i + 1 < journal.size() && journal[i + 1] == '\n') {
            ++i;
        }
    }
    return lineOpen ? out + "\r\n" : out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string journal(reinterpret_cast<const char*>(data), size);
    std::istringstream in(journal);
    std::ostringstream out;
    writePartFile(in, out, HeaderValues{});

    std::ostringstream expected;
    writeHeader(expected, HeaderValues{});
    expected << linesEnded(journal);
    writeFooter(expected);
    CHIMEX_FUZZ_CHECK(out.str() == expected.str());
    return 0;
}
