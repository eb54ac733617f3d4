// SPDX-License-Identifier: MIT
#include "take.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace chimex {

void Take::press(float gap) {
    gap_ = notes_.empty() ? 0.0f : gap;
}

void Take::release(int keyIndex, float hold) {
    notes_.push_back({keyIndex, gap_, hold});
    gap_ = 0;
}

std::filesystem::path takePath(const std::filesystem::path& tuneFile) {
    std::string extension = tuneFile.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mid") {
        return std::filesystem::path(tuneFile) += ".mid";
    }
    return std::filesystem::path(tuneFile).replace_extension(".mid");
}

} // namespace chimex
