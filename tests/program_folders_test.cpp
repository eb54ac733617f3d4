// SPDX-License-Identifier: MIT
#include "platform/program_folders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

using namespace chimex;
namespace fs = std::filesystem;

namespace {

/// A fresh folder with an empty bin/ for the executable; removed when the object goes.
struct Prefix {
    fs::path root = fs::temp_directory_path() / ("chimex_prefix_" + std::to_string(::getpid()));
    Prefix() { fs::create_directories(root / "bin"); }
    ~Prefix() { fs::remove_all(root); }
};

} // namespace

TEST(ProgramFolders, PortableBesideNotesElseInstalledInTheUsersFolders) {
    struct Row {
        const char* name;
        const char* besideProgram; ///< "notes/" makes a folder, "notes" a file, "" nothing
        const char* configHome;
        const char* stateHome;
        const char* settings; ///< expected; "bin" means the executable's folder
        const char* state;
    };
    const Row rows[] = {
        {"portable", "notes/", "/c", "/s", "bin", "bin"},
        {"installed, XDG unset", "", "", "", "/home/u/.config/chimex",
         "/home/u/.local/state/chimex"},
        {"installed, XDG set", "", "/c", "/s", "/c/chimex", "/s/chimex"},
        {"relative XDG ignored", "", "c", "s", "/home/u/.config/chimex",
         "/home/u/.local/state/chimex"},
        {"notes a file", "notes", "/c", "/s", "/c/chimex", "/s/chimex"},
    };
    for (const Row& row : rows) {
        Prefix prefix;
        const fs::path bin = prefix.root / "bin";
        if (std::string(row.besideProgram) == "notes/") {
            fs::create_directory(bin / "notes");
        } else if (std::string(row.besideProgram) == "notes") {
            std::ofstream(bin / "notes") << "x";
        }
        const auto folders = findProgramFolders(bin, {"/home/u", row.configHome, row.stateHome});
        const auto expected = [&](const char* path) {
            return std::string(path) == "bin" ? bin : fs::path(path);
        };
        EXPECT_EQ(folders.settings, expected(row.settings)) << row.name;
        EXPECT_EQ(folders.state, expected(row.state)) << row.name;
        const bool installed = std::string(row.settings) != "bin";
        EXPECT_EQ(folders.installed, installed) << row.name;
        EXPECT_EQ(folders.notes, installed ? prefix.root / "share/chimex/notes" : bin / "notes")
            << row.name;
        EXPECT_EQ(folders.tunes, installed ? fs::path("/home/u") : bin) << row.name;
    }
}
