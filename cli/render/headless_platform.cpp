// SPDX-License-Identifier: MIT
#include "headless_platform.h"

#include "files/failure.h"

namespace chimex {

HeadlessPlatform::HeadlessPlatform(std::filesystem::path folder, std::ostream& messages)
    : folder_(std::move(folder)), messages_(messages) {}

void HeadlessPlatform::scriptClock(std::initializer_list<double> readings) {
    if (clockCount_ + readings.size() > clock_.size()) {
        throw Failure("Too many clock readings scripted ahead");
    }
    for (const double reading : readings) {
        clock_[(clockNext_ + clockCount_++) % clock_.size()] = reading;
    }
}

ProgramFolders HeadlessPlatform::folders() const {
    return portableFolders(folder_);
}

bool HeadlessPlatform::fileExists(const std::filesystem::path& path) const {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

double HeadlessPlatform::clock() {
    if (clockCount_ == 0) {
        throw Failure(
            "The scripted clock was read more often than a key press and release read it");
    }
    const double reading = clock_[clockNext_];
    clockNext_ = (clockNext_ + 1) % clock_.size();
    --clockCount_;
    return reading;
}

float HeadlessPlatform::randomNumber() {
    return random_.next();
}

void HeadlessPlatform::preloadSounds(const std::vector<std::filesystem::path>&) {}

void HeadlessPlatform::startSound(const std::filesystem::path&) {}

void HeadlessPlatform::stopSound() {}

MessageButton HeadlessPlatform::messageBox(std::string_view prompt, std::string_view title,
                                           MessageStyle style) {
    messages_ << title << ": " << prompt << "\n";
    return style == MessageStyle::YesNo ? MessageButton::Yes : MessageButton::Ok;
}

std::optional<std::filesystem::path> HeadlessPlatform::saveFileDialog(const SaveDialogOptions&) {
    return std::nullopt;
}

void HeadlessPlatform::endPlaying() {
    playingEnded_ = true;
}

void HeadlessPlatform::reportUnhandledFailure(std::string_view message) {
    messages_ << message << "\n";
}

void HeadlessPlatform::endProgram() {
    playingEnded_ = true;
}

} // namespace chimex
