// SPDX-License-Identifier: MIT
#pragma once

#include "text_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace chimex::test {

/// A fresh folder under /tmp (or another parent) that an unprivileged user can enter; removed,
/// with every permission restored, when the object goes.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::filesystem::path& parent = "/tmp");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// Creates a sub-folder with the given permission bits (0777: anyone may write in it).
    std::filesystem::path folder(const std::string& name, std::filesystem::perms mode);

  private:
    std::filesystem::path path_;
};

/// What a run of the file step tool printed and how it ended.
struct StepResult {
    int exitCode = -1;
    std::string output;
};

/// Runs the file step tool (tests/file_step_tool.cpp) as a user whom file permissions stop:
/// as root it drops to nobody (uid 65534) with setpriv, otherwise it runs as the current user.
/// The tool is copied into the scratch folder first so that nobody can reach it.
class UnprivilegedRunner {
  public:
    explicit UnprivilegedRunner(const ScratchFolder& scratch);
    /// Why the tool cannot run unprivileged here, or empty when it can.
    const std::string& unavailable() const { return unavailable_; }
    StepResult run(const std::vector<std::string>& arguments) const;

  private:
    std::filesystem::path tool_;
    std::string unavailable_;
};

} // namespace chimex::test
