// SPDX-License-Identifier: MIT
#include "machine_compare.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace chimex {
namespace {

bool differ(double stated, double machine) {
    return timedForNumber(stated) != timedForNumber(machine);
}

std::string milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", std::fabs(seconds) * 1000);
    return text;
}

/// "timed for 80 steps/mm on X, the machine has 100"
std::string timedFor(double stated, double machine, const std::string& what) {
    return "timed for " + timedForNumber(stated) + what + ", the machine has " +
           timedForNumber(machine);
}

/// The machine's steps make a step rate, and so a pitch, in proportion to them.
void compareSteps(const std::array<double, 3>& stated, const std::array<double, 3>& machine,
                  const std::string& perUnit, std::vector<std::string>& out) {
    constexpr const char* letters[] = {"X", "Y", "Z"};
    for (std::size_t a = 0; a < 3; ++a) {
        if (!differ(stated[a], machine[a])) {
            continue;
        }
        const double ratio = machine[a] / stated[a];
        char pitch[96];
        std::snprintf(pitch, sizeof pitch, "%.1f %% %s (%+.0f cents)", std::fabs(ratio - 1) * 100,
                      ratio > 1 ? "high" : "low", 1200 * std::log2(ratio));
        out.push_back(timedFor(stated[a], machine[a], " steps/" + perUnit + " on " + letters[a]) +
                      ": notes on " + letters[a] + " sound " + pitch +
                      ", though they keep their times");
    }
}

/// A note that ramps to `speed` and back spends speed / accel more than at its speed throughout.
void compareAccel(double stated, double machine, double speed, const std::string& axes,
                  const std::string& unit, std::vector<std::string>& out) {
    if (!differ(stated, machine) || !(speed > 0)) {
        return;
    }
    const double longer = speed / machine - speed / stated;
    out.push_back(timedFor(stated, machine, " " + unit + "/s^2 on " + axes) +
                  ": each note's ramps take up to " + milliseconds(longer) +
                  (longer > 0 ? " longer, so notes start late" : " less, so notes start early") +
                  ", more so with every note");
}

/// "timed for junction deviation 0.02 mm, the machine has 0.01 mm"
std::string ruleTimedFor(const std::string& name, double stated, double machine,
                         const std::string& unit) {
    return "timed for " + name + " " + timedForNumber(stated) + " " + unit + ", the machine has " +
           timedForNumber(machine) + " " + unit;
}

/// A larger value of the rule on the machine takes corners or rests sooner (`sooner`) or later.
void compareRule(const std::optional<double>& stated, const std::optional<double>& machine,
                 const std::array<std::string, 2>& nameAndUnit, bool sooner,
                 const std::string& effect, std::vector<std::string>& out) {
    if (!stated || !machine || !differ(*stated, *machine)) {
        return;
    }
    const bool early = (*machine > *stated) == sooner;
    out.push_back(ruleTimedFor(nameAndUnit[0], *stated, *machine, nameAndUnit[1]) + ": " + effect +
                  ", so notes start " + (early ? "early" : "late"));
}

} // namespace

std::vector<std::string> machineDifferences(const TimedFor& stated, const TimedFor& machine,
                                            LengthUnit unit, const std::array<double, 2>& fastest) {
    const std::string length = unit == LengthUnit::Inch ? "in" : "mm";
    std::vector<std::string> out;
    if (stated.stepsPerUnit && machine.stepsPerUnit) {
        compareSteps(*stated.stepsPerUnit, *machine.stepsPerUnit, length, out);
    }
    if (stated.accel && machine.accel) {
        compareAccel((*stated.accel)[0], (*machine.accel)[0], fastest[0], "X and Y", length, out);
        compareAccel((*stated.accel)[1], (*machine.accel)[1], fastest[1], "Z", length, out);
    }
    compareRule(stated.junctionDeviation, machine.junctionDeviation, {"junction deviation", length},
                true, "it takes corners at other speeds", out);
    compareRule(stated.squareCornerVelocity, machine.squareCornerVelocity,
                {"square corner velocity", length + "/s"}, true, "it takes corners at other speeds",
                out);
    const auto period = [](const std::optional<std::array<double, 2>>& e, std::size_t i) {
        return e ? std::optional((*e)[i]) : std::nullopt;
    };
    compareRule(period(stated.exactStop, 0), period(machine.exactStop, 0), {"servo period", "s"},
                false, "each move ends in other periods", out);
    compareRule(period(stated.exactStop, 1), period(machine.exactStop, 1), {"task cycle", "s"},
                false, "it times rests in other cycles", out);
    if (stated.stopDelay && machine.stopDelay && differ(*stated.stopDelay, *machine.stopDelay)) {
        const double more = *machine.stopDelay - *stated.stopDelay;
        out.push_back(ruleTimedFor("step idle delay", *stated.stopDelay, *machine.stopDelay, "s") +
                      ": each rest costs " + milliseconds(more) +
                      (more > 0 ? " more, so notes after rests start late"
                                : " less, so notes after rests start early"));
    }
    return out;
}

} // namespace chimex
