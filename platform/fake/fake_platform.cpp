// SPDX-License-Identifier: MIT
#include "fake_platform.h"

#include "files/failure.h"

namespace chimex {

void FakePlatform::failIfAsked(const std::string& operation) const {
    if (failing.count(operation) != 0) {
        throw Failure("Fake failure in " + operation);
    }
}

ProgramFolders FakePlatform::folders() const {
    return portableFolders(folder);
}

bool FakePlatform::fileExists(const std::filesystem::path& path) const {
    failIfAsked("fileExists");
    if (useRealFiles) {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    }
    return existingFiles.count(path) != 0;
}

bool FakePlatform::lockTuneFile(const std::filesystem::path& path) {
    calls.push_back("lockTuneFile " + path.string());
    failIfAsked("lockTuneFile");
    return lockedElsewhere.count(path) == 0;
}

void FakePlatform::preloadSounds(const std::vector<std::filesystem::path>& paths) {
    calls.push_back("preloadSounds");
    soundsPreloaded.insert(soundsPreloaded.end(), paths.begin(), paths.end());
}

double FakePlatform::clock() {
    failIfAsked("clock");
    calls.push_back("clock");
    if (clockReadings.empty()) {
        return 0.0;
    }
    const double reading = clockReadings.front();
    clockReadings.pop_front();
    return reading;
}

float FakePlatform::randomNumber() {
    failIfAsked("randomNumber");
    calls.push_back("randomNumber");
    if (randomNumbers.empty()) {
        return random_.next();
    }
    const float r = randomNumbers.front();
    randomNumbers.pop_front();
    return r;
}

void FakePlatform::startSound(const std::filesystem::path& path) {
    failIfAsked("startSound");
    calls.push_back("startSound " + path.string());
    soundsStarted.push_back(path);
    soundPlaying = true;
}

void FakePlatform::stopSound() {
    calls.push_back("stopSound");
    ++soundStops;
    soundPlaying = false;
}

MessageButton FakePlatform::messageBox(std::string_view prompt, std::string_view title,
                                       MessageStyle style) {
    failIfAsked("messageBox");
    calls.push_back("messageBox " + std::string(title));
    messages.push_back({std::string(prompt), std::string(title), style});
    if (!buttonPresses.empty()) {
        const MessageButton button = buttonPresses.front();
        buttonPresses.pop_front();
        return button;
    }
    return style == MessageStyle::YesNo ? MessageButton::Yes : MessageButton::Ok;
}

std::optional<std::filesystem::path>
FakePlatform::saveFileDialog(const SaveDialogOptions& options) {
    failIfAsked("saveFileDialog");
    calls.push_back("saveFileDialog");
    dialogsShown.push_back(options);
    if (dialogAnswers.empty()) {
        return std::nullopt;
    }
    auto answer = dialogAnswers.front();
    dialogAnswers.pop_front();
    return answer;
}

void FakePlatform::reportUnhandledFailure(std::string_view message) {
    calls.push_back("reportUnhandledFailure " + std::string(message));
    if (endPlayingFirst && !reporting_) {
        const auto at = failuresReported.size();
        reporting_ = true;
        if (onEndPlaying) {
            onEndPlaying();
        }
        reporting_ = false;
        failuresReported.emplace(failuresReported.begin() + static_cast<std::ptrdiff_t>(at),
                                 message);
        return;
    }
    failuresReported.emplace_back(message);
}

void FakePlatform::endProgram() {
    calls.push_back("endProgram");
    ++endProgramCalls;
}

} // namespace chimex
