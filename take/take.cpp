// SPDX-License-Identifier: MIT
#include "take.h"

#include "files/atomic_output_file.h"
#include "files/failure.h"
#include "files/own_file.h"
#include "take/midi_take_writer.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

namespace chimex {
namespace {

/// The names tried for a take, counting the usual one, before giving up.
constexpr int mostTakeNames = 999;

/// Longer than a take of a day of playing; a longer file is not one.
constexpr std::size_t longestTake = 64 << 20;

bool holdsOwnTake(const std::filesystem::path& path) {
    try {
        const auto bytes = readOrdinaryFile(path, longestTake);
        return bytes && isOwnTake(*bytes);
    } catch (const InputFailure&) {
        return false; // a folder, FIFO, unreadable or overlong file is not a take of ours
    }
}

/// Nothing stands at `path`, or a take of ours that may be replaced. A link is never free,
/// wherever it leads, so a take is never written through one; a read-only take is kept.
bool freeForTake(const std::filesystem::path& path) {
    if (!somethingAt(path)) {
        return true;
    }
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error)) &&
           !isReadOnly(path) && holdsOwnTake(path);
}

} // namespace

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

std::filesystem::path takeDestination(const std::filesystem::path& tuneFile) {
    const auto usual = takePath(tuneFile);
    for (int n = 1; n <= mostTakeNames; ++n) {
        const auto candidate =
            n == 1 ? usual
                   : std::filesystem::path(usual).replace_filename(usual.stem().string() + " (" +
                                                                   std::to_string(n) + ").mid");
        if (freeForTake(candidate)) {
            return candidate;
        }
    }
    throw Failure("Every name from " + usual.string() + " to \"" + usual.stem().string() + " (" +
                  std::to_string(mostTakeNames) +
                  ").mid\" holds a file the program may not replace");
}

} // namespace chimex
