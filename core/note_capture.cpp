// SPDX-License-Identifier: MIT
#include "note_capture.h"

#include "core/note_planner.h"
#include "files/failure.h"
#include "partfile/line_texts.h"
#include "partfile/number_forms.h"

#include <cfloat>
#include <cmath>
#include <string>

namespace chimex {
namespace {

constexpr double secondsPerDay = 86400;

[[noreturn]] void overflow(const std::string& what) {
    throw Failure("Overflow in note capture: " + what);
}

double finiteTime(double reading) {
    if (!std::isfinite(reading)) {
        overflow("the clock reading is not a finite number");
    }
    return reading;
}

} // namespace

std::filesystem::path soundPath(const std::filesystem::path& notesFolder, int keyIndex) {
    return notesFolder / (std::to_string(keyIndex) + ".wav");
}

std::vector<std::filesystem::path> soundPaths(const std::filesystem::path& notesFolder) {
    std::vector<std::filesystem::path> paths;
    for (int key = 0; key < keyCount; ++key) {
        paths.push_back(soundPath(notesFolder, key));
    }
    return paths;
}

float keySpeed(float baseSpeed, int keyIndex) {
    const double speed = std::pow(2.0, keyIndex / 12.0) * static_cast<double>(baseSpeed);
    if (!(std::fabs(speed) <= FLT_MAX)) {
        overflow("the speed of key " + std::to_string(keyIndex) +
                 " is beyond the single-precision range");
    }
    return roundThroughThreeDecimals(speed);
}

double elapsed(double from, double to) {
    const double seconds = std::fmod(finiteTime(to) - finiteTime(from), secondsPerDay);
    return seconds < 0 ? seconds + secondsPerDay : seconds;
}

float threeDecimalTime(double seconds, std::string_view what) {
    if (!(std::fabs(seconds) <= FLT_MAX)) {
        overflow(std::string(what) + " is beyond the single-precision range");
    }
    return roundThroughThreeDecimals(seconds);
}

double pressedAt(ProgramState& state, double time) {
    const double gap = elapsed(state.NoteEnd, time);
    state.NoteStart = time;
    return gap;
}

double releasedAt(ProgramState& state, double time) {
    const double held = elapsed(state.NoteStart, time);
    state.NoteEnd = time;
    return held;
}

NoteSpeeds keySpeeds(const ProgramState& state, int keyIndex) {
    if (keyIndex < 0 || keyIndex >= keyCount) {
        throw Failure("Note capture: there is no key with index " + std::to_string(keyIndex));
    }
    const float speed = keySpeed(state.BaseSpeed, keyIndex);
    return {speed, speed, std::nullopt};
}

float pauseLength(double gap) {
    return threeDecimalTime(gap, "the pause before the note");
}

void startNote(ProgramState& state, double gap) {
    if (state.PauseMode <= 1) {
        return;
    }
    state.PauseLength = pauseLength(gap);
    if (state.Moves) {
        state.Moves->pause(state.PauseLength);
        return;
    }
    writePauseLine(state.TuneStream.stream(), state.PauseLength);
    state.TuneStream.flush();
}

NoteOutcome endNote(ProgramState& state, RandomNumbers& random, double held, NoteSpeeds speeds) {
    const float duration = threeDecimalTime(held, "the duration of the note");
    state.NoteSpeed = speeds.xy;
    state.NoteDuration = duration;
    if (state.PauseMode > 0) {
        state.PauseMode = 2;
    }
    return planNote(state, random, speeds.y.value_or(speeds.xy), speeds.z);
}

} // namespace chimex
