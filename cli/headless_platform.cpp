// SPDX-License-Identifier: MIT
#include "headless_platform.h"

#include "platform/failure.h"

namespace chimex {

HeadlessPlatform::HeadlessPlatform(std::filesystem::path folder, std::ostream& messages)
    : folder_(std::move(folder)), messages_(messages) {}

void HeadlessPlatform::scriptClock(std::initializer_list<double> readings) {
    clock_.insert(clock_.end(), readings);
}

std::filesystem::path HeadlessPlatform::programFolder() const {
    return folder_;
}

bool HeadlessPlatform::fileExists(const std::filesystem::path& path) const {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

double HeadlessPlatform::clock() {
    if (clock_.empty()) {
        throw Failure(
            "The scripted clock was read more often than a key press and release read it");
    }
    const double reading = clock_.front();
    clock_.pop_front();
    return reading;
}

float HeadlessPlatform::randomNumber() {
    return random_.next();
}

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
