// SPDX-License-Identifier: MIT
#include "scratch_folder.h"

#include "platform/failure.h"

#include <random>
#include <string>

namespace chimex {
namespace {

std::string randomSuffix() {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof digits - 2);
    std::string suffix;
    for (int i = 0; i < 10; ++i) {
        suffix += digits[pick(device)];
    }
    return suffix;
}

} // namespace

ScratchFolder::ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        throw Failure("No temporary folder: " + error.message());
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("chimex-cli-" + randomSuffix());
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
            return;
        }
    }
    throw Failure("Cannot create a scratch folder in " + base.string() + ": " + error.message());
}

ScratchFolder::~ScratchFolder() {
    if (!path_.empty()) {
        // Only reached when a failure is already on its way to the user.
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
}

void ScratchFolder::remove() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    if (error) {
        throw Failure("Cannot remove the scratch folder " + path_.string() + ": " +
                      error.message());
    }
    path_.clear();
}

std::filesystem::path freshSiblingPath(const std::filesystem::path& target) {
    const auto folder = target.parent_path();
    for (;;) {
        auto candidate =
            folder / ("." + target.filename().string() + "." + randomSuffix() + ".tmp");
        std::error_code error;
        if (!std::filesystem::exists(candidate, error) && !error) {
            return candidate;
        }
        if (error) {
            throw Failure("Cannot write beside " + target.string() + ": " + error.message());
        }
    }
}

} // namespace chimex
