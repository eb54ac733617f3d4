// SPDX-License-Identifier: MIT
// Any text: the numeric value is never NaN, does not depend on blanks, and a value in single
// precision survives its plain form read back.
#include "fuzz_check.h"
#include "partfile/number_forms.h"
#include "settings/numeric_value.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace chimex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = numericValue(text);
    CHIMEX_FUZZ_CHECK(!std::isnan(value));

    std::string compact;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') {
            compact += c;
        }
    }
    CHIMEX_FUZZ_CHECK(numericValue(compact) == value);

    const auto single = toSingle(value);
    CHIMEX_FUZZ_CHECK(single.has_value() == (std::fabs(value) <= 3.4028234663852886e38));
    if (single) {
        CHIMEX_FUZZ_CHECK(std::isfinite(*single));
        const auto back = toSingle(numericValue(plainForm(*single)));
        CHIMEX_FUZZ_CHECK(back.has_value());
        CHIMEX_FUZZ_CHECK(std::fabs(*back - *single) <= 1e-6 * std::fabs(*single) ||
                          !std::isnormal(*single));
    }
    return 0;
}
