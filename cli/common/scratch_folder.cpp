// SPDX-License-Identifier: MIT
#include "scratch_folder.h"

#include "partfile/atomic_output_file.h"
#include "platform/failure.h"

namespace chimex {

ScratchFolder::ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        throw Failure("No temporary folder: " + error.message());
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = freshSiblingPath(base / "chimex-cli");
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

} // namespace chimex
