// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <system_error>

namespace chimex {

/// Creates an empty ordinary file at `path` for writing and returns its descriptor. Never opens
/// through a link and never anything that is already there (EEXIST), so a link, FIFO or device
/// planted at that name is not touched.
int createNewFile(const std::filesystem::path& path, std::error_code& error);

/// An unnamed file in `folder` for writing, to be given a name by nameUnnamedFile; -1 with
/// `error` clear when the file system (or a missing /proc) does not allow that, -1 with `error`
/// set when the folder refuses any new file.
int createUnnamedFile(const std::filesystem::path& folder, std::error_code& error);

/// Gives the unnamed file `fd` the name `path`, which must not exist yet.
std::error_code nameUnnamedFile(int fd, const std::filesystem::path& path);

/// Gives the open file `fd` the permissions of the existing file `model` and, when run as root,
/// its owner and group, so that replacing `model` keeps them. Nothing happens when `model` does
/// not exist.
std::error_code copyModeAndOwner(int fd, const std::filesystem::path& model);

} // namespace chimex
