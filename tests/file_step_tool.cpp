// SPDX-License-Identifier: MIT
// Runs one file step of the program so that tests can run it as a user whom file permissions
// stop. Prints the failure message and exits with 1 when the step fails.
//   file_step_tool probe
//   file_step_tool finalise TUNE_FILE PROGRAM_FOLDER
//   file_step_tool save-settings PROGRAM_FOLDER
#include "core/program_state.h"
#include "partfile/finaliser.h"
#include "platform/failure.h"
#include "platform/fake/fake_platform.h"
#include "settings/settings_file.h"

#include <iostream>
#include <string>

using namespace chimex;

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
