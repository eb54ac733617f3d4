// SPDX-License-Identifier: MIT
// Runs one file step of the program so that tests can run it as a user whom file permissions
// stop, or with I/O failures injected. Prints the failure message and exits with 1 when the step
// fails.
//   file_step_tool probe
//   file_step_tool finalise TUNE_FILE PROGRAM_FOLDER
//   file_step_tool save-settings PROGRAM_FOLDER
//   file_step_tool play TUNE_FILE PROGRAM_FOLDER NOTES   (plays NOTES notes, then finalises)
#include "core/note_capture.h"
#include "core/program_state.h"
#include "files/failure.h"
#include "partfile/finaliser.h"
#include "platform/fake/fake_platform.h"
#include "settings/settings_file.h"

#include <iostream>
#include <string>

using namespace chimex;

namespace {

/// As the desktop program plays: a failing note ends playing, and the unload still finishes the
/// tune file from the notes before it.
int play(const std::filesystem::path& tune, const std::filesystem::path& program, int notes) {
    FakePlatform platform;
    platform.folder = program;
    ProgramState state;
    state.MaxX = state.MaxY = state.MaxZ = 100;
    state.MaxXYSpeed = state.MaxZSpeed = 3;
    state.BaseSpeed = baseSpeedFor(state.MaxXYSpeed);
    state.PauseMode = 1;
    state.TuneStream.open(tune);
    int status = 0;
    try {
        for (int note = 0; note < notes; ++note) {
            startNote(state, 0.5);
            endNote(state, platform, 0.5, keySpeeds(state, 12 + note));
        }
    } catch (const Failure& failure) {
        std::cout << failure.what() << '\n';
        status = 1;
    }
    state.TuneStream.close();
    finalisePartFile(tune, program, headerValues(state));
    return status;
}

} // namespace

int main(int argc, char** argv) {
    const std::string step = argc > 1 ? argv[1] : "";
    try {
        if (step == "probe") {
            return 0;
        }
        if (step == "finalise" && argc == 4) {
            HeaderValues values;
            values.HighX = 1.5f;
            finalisePartFile(argv[2], argv[3], values);
            return 0;
        }
        if (step == "play" && argc == 5) {
            return play(argv[2], argv[3], std::stoi(argv[4]));
        }
        if (step == "save-settings" && argc == 3) {
            FakePlatform platform;
            platform.folder = argv[2];
            ProgramState state;
            state.MaxX = 96;
            writeSettingsFile(state, platform, 1);
            return 0;
        }
    } catch (const Failure& failure) {
        std::cout << failure.what() << '\n';
        return 1;
    }
    std::cout << "unknown step " << step << '\n';
    return 2;
}
