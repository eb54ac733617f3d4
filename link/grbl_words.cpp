// SPDX-License-Identifier: MIT
// GRBL 1.1's error and alarm codes in words a user at the machine can act on.
#include "grbl_replies.h"

#include <map>

namespace chimex {

namespace {

const std::map<int, std::string_view> errorWords = {
    {1, "a G-code word has no letter"},
    {2, "a number is missing or badly written"},
    {3, "GRBL does not know this $ command"},
    {4, "a value that must not be negative is negative"},
    {5, "homing is not enabled in GRBL's settings ($22)"},
    {6, "the step pulse must be longer than 3 microseconds ($0)"},
    {7, "GRBL could not read its stored settings and restored its defaults"},
    {8, "this $ command only works while the machine is idle"},
    {9, "G-code is locked out while the machine is in alarm or jogging"},
    {10, "soft limits need homing to be enabled"},
    {11, "the line is longer than GRBL takes"},
    {12, "the setting would ask for steps faster than GRBL can make them"},
    {13, "the safety door is open"},
    {14, "the text is too long to be stored"},
    {15, "the move would leave the travel"},
    {16, "the jog has no '=' or holds G-code a jog may not use"},
    {17, "laser mode needs the spindle's PWM output"},
    {20, "the line holds a G-code GRBL does not support"},
    {21, "the line holds two commands of the same group"},
    {22, "no feed rate has been set"},
    {23, "a command needs a whole number"},
    {24, "two commands in the line both want the axis words"},
    {25, "a word is repeated in the line"},
    {26, "the command needs an axis word and the line has none"},
    {27, "the line number is outside 1 to 9,999,999"},
    {28, "the command lacks its P or L value"},
    {29, "GRBL has only the work coordinates G54 to G59"},
    {30, "G53 needs G0 or G1 motion"},
    {31, "the line has axis words no command uses"},
    {32, "the arc has no axis word in its plane"},
    {33, "the move's target cannot be reached"},
    {34, "the arc's radius does not fit its end points"},
    {35, "the arc has no centre offset in its plane"},
    {36, "the line has value words no command uses"},
    {37, "the tool length offset is not on the axis GRBL offsets"},
    {38, "the tool number is larger than GRBL takes"},
};

const std::map<int, std::string_view> alarmWords = {
    {1, "a limit switch was hit: the position is likely lost, home the machine again"},
    {2, "a move would have left the travel (soft limit); the position is kept"},
    {3, "reset while moving: the position is likely lost, home the machine again"},
    {4, "the probe was not in its expected state before probing"},
    {5, "the probe touched nothing within its travel"},
    {6, "homing was reset before it finished"},
    {7, "the safety door was opened while homing"},
    {8, "homing could not pull off the limit switch (check the pull-off $27 and the wiring)"},
    {9, "homing found no limit switch within the search distance (check $130 to $132 and the "
        "wiring)"},
};

std::string wordsFor(const std::map<int, std::string_view>& words, int code,
                     std::string_view kind) {
    const auto found = words.find(code);
    const std::string codeText = std::string(kind) + ":" + std::to_string(code);
    if (found == words.end()) {
        return "GRBL gave " + codeText + ", which GRBL 1.1 does not document";
    }
    return std::string(found->second) + " (" + codeText + ")";
}

} // namespace

std::string grblErrorWords(int code) {
    return wordsFor(errorWords, code, "error");
}

std::string grblAlarmWords(int code) {
    return wordsFor(alarmWords, code, "ALARM");
}

} // namespace chimex
