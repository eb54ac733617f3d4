// SPDX-License-Identifier: MIT
#include "note_capture.h"

#include "core/note_planner.h"
#include "files/failure.h"
#include "partfile/line_texts.h"
#include "partfile/number_forms.h"

#include <cfloat>
#include <cmath>
#include <string>
#include <string_view>

namespace chimex {
namespace {

constexpr double secondsPerDay = 86400;

[[noreturn]] void overflow(const std::string& what) {
    throw Failure("Overflow in note capture: " + what);
}

void requireKey(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= keyCount) {
        throw Failure("Note capture: there is no key with index " + std::to_string(keyIndex));
    }
}

double finiteTime(double reading) {
    if (!std::isfinite(reading)) {
        overflow("the clock reading is not a finite number");
    }
    return reading;
}

double readClock(Platform& platform) {
    return finiteTime(platform.clock());
}

/// Seconds from `from` to `to`, both seconds since midnight; a day is added when the clock passed
/// midnight in between, so the result is never negative.
double elapsed(double from, double to) {
    const double seconds = std::fmod(to - from, secondsPerDay);
    return seconds < 0 ? seconds + secondsPerDay : seconds;
}

/// A time rounded through the three-decimal form from its double value.
float roundedTime(double seconds, std::string_view what) {
    if (!(std::fabs(seconds) <= FLT_MAX)) {
        overflow(std::string(what) + " is beyond the single-precision range");
    }
    return roundThroughThreeDecimals(seconds);
}

void startNote(ProgramState& state, Platform& platform, double time,
               const std::filesystem::path& sound) {
    state.NoteStart = time;
    const bool writesPause = state.PauseMode > 1;
    const float gap = writesPause ? pauseBeforeNote(state) : 0.0f;
    platform.startSound(sound);
    if (writesPause) {
        std::ostream& journal = state.TuneStream.stream();
        state.PauseLength = gap;
        writePauseLine(journal, gap);
        state.TuneStream.flush();
    }
}

void endNote(ProgramState& state, Platform& platform, double end, double durationEnd, float speed,
             float zSpeed) {
    const float duration =
        roundedTime(elapsed(state.NoteStart, durationEnd), "the duration of the note");
    state.NoteSpeed = speed;
    state.NoteEnd = end;
    state.NoteDuration = duration;
    if (state.PauseMode > 0) {
        state.PauseMode = 2;
    }
    planNote(state, platform, zSpeed);
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

float pauseBeforeNote(const ProgramState& state) {
    return roundedTime(elapsed(state.NoteEnd, state.NoteStart), "the pause before the note");
}

void keyPress(ProgramState& state, Platform& platform, int keyIndex) {
    requireKey(keyIndex);
    keyPress(state, platform, keyIndex, soundPath(platform.folders().notes, keyIndex));
}

void keyPress(ProgramState& state, Platform& platform, int keyIndex,
              const std::filesystem::path& sound) {
    requireKey(keyIndex);
    startNote(state, platform, readClock(platform), sound);
}

void keyPressAt(ProgramState& state, Platform& platform, int keyIndex, double time) {
    requireKey(keyIndex);
    startNote(state, platform, finiteTime(time), soundPath(platform.folders().notes, keyIndex));
}

void keyRelease(ProgramState& state, Platform& platform, int keyIndex) {
    requireKey(keyIndex);
    const float speed = keySpeed(state.BaseSpeed, keyIndex);
    keyRelease(state, platform, keyIndex, speed, speed);
}

void keyRelease(ProgramState& state, Platform& platform, int keyIndex, float speed, float zSpeed) {
    requireKey(keyIndex);
    platform.stopSound();
    const double end = readClock(platform);
    // The duration runs to a second reading, not to NoteEnd.
    endNote(state, platform, end, readClock(platform), speed, zSpeed);
}

void keyReleaseAt(ProgramState& state, Platform& platform, int keyIndex, double time) {
    requireKey(keyIndex);
    const double end = finiteTime(time);
    const float speed = keySpeed(state.BaseSpeed, keyIndex);
    platform.stopSound();
    endNote(state, platform, end, end, speed, speed);
}

} // namespace chimex
