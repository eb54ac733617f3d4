// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace chimex {

/// True when anything stands at `path`: a file, a folder, a FIFO or a link (even one that leads
/// nowhere).
bool somethingAt(const std::filesystem::path& path);

/// The whole content of the ordinary file at `path` (links followed), read without ever waiting:
/// a FIFO, device or socket is refused before a byte is read. Nothing when nothing stands there.
/// Throws InputFailure naming the file and why it cannot be read: a folder, not an ordinary file,
/// a link that leads nowhere or in a loop, no permission, or longer than `limit` bytes.
std::optional<std::string> readOrdinaryFile(const std::filesystem::path& path, std::size_t limit);

/// At most the first `count` bytes of the ordinary file at `path`, opened and refused as
/// readOrdinaryFile does; nothing when nothing stands there.
std::optional<std::string> readOrdinaryFileStart(const std::filesystem::path& path,
                                                 std::size_t count);

} // namespace chimex
