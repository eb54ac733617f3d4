// SPDX-License-Identifier: MIT
#include "scratch_folder.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace chimex::test {

ScratchFolder::ScratchFolder(const fs::path& parent) {
    std::string pattern = (parent / "chimex-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder in " + parent.string());
    }
    path_ = pattern;
    fs::permissions(path_, fs::perms(0755));
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path_, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
    fs::remove_all(path_, error);
}

fs::path ScratchFolder::folder(const std::string& name, fs::perms mode) {
    const fs::path folder = path_ / name;
    fs::create_directories(folder);
    fs::permissions(folder, mode);
    return folder;
}

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

UnprivilegedRunner::UnprivilegedRunner(const ScratchFolder& scratch) {
    tool_ = scratch.path() / "file_step_tool";
    fs::copy_file(CHIMEX_FILE_STEP_TOOL, tool_);
    fs::permissions(tool_, fs::perms(0755));
    const StepResult probe = run({"probe"});
    if (probe.exitCode != 0) {
        unavailable_ = "the file step tool cannot run as an unprivileged user (exit code " +
                       std::to_string(probe.exitCode) + "): " + probe.output;
    }
}

StepResult UnprivilegedRunner::run(const std::vector<std::string>& arguments) const {
    std::string command =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups -- " : "";
    command += shellQuoted(tool_.string());
    for (const auto& argument : arguments) {
        command += " " + shellQuoted(argument);
    }
    command += " 2>&1";
    StepResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        result.output += buffer;
    }
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace chimex::test
