// SPDX-License-Identifier: MIT
// Any machine file: it is read or refused as input that cannot be read, and every value read is
// finite and within what the machine description promises.
#include "files/failure.h"
#include "fuzz_check.h"
#include "machine/machine_settings.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

using namespace chimex;

namespace {

bool aboveZero(const std::optional<double>& value) {
    return !value || (std::isfinite(*value) && *value > 0);
}

bool atLeastZero(const std::optional<double>& value) {
    return !value || (std::isfinite(*value) && *value >= 0);
}

void check(const MachineSettings& settings) {
    for (const AxisSettings& axis : settings.axes) {
        CHIMEX_FUZZ_CHECK(aboveZero(axis.stepsPerUnit) && aboveZero(axis.fastestSpeed) &&
                          aboveZero(axis.accel));
        CHIMEX_FUZZ_CHECK(!axis.travelMin || std::isfinite(*axis.travelMin));
        CHIMEX_FUZZ_CHECK(!axis.travelMax || std::isfinite(*axis.travelMax));
        CHIMEX_FUZZ_CHECK(!axis.travelMin || !axis.travelMax || *axis.travelMin < *axis.travelMax);
    }
    CHIMEX_FUZZ_CHECK(atLeastZero(settings.junctionDeviation));
    CHIMEX_FUZZ_CHECK(atLeastZero(settings.stepIdleDelay));
    CHIMEX_FUZZ_CHECK(aboveZero(settings.servoPeriod) && aboveZero(settings.taskCycleTime));
    if (settings.squareCorner) {
        CHIMEX_FUZZ_CHECK(atLeastZero(settings.squareCorner->velocity));
        const double ratio = settings.squareCorner->minimumCruiseRatio;
        CHIMEX_FUZZ_CHECK(ratio >= 0 && ratio < 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        check(readMachineSettings(in, "machine.txt"));
    } catch (const InputFailure& failure) {
        CHIMEX_FUZZ_CHECK(std::string(failure.what()).starts_with("machine.txt: "));
    }
    return 0;
}
