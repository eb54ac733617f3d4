// SPDX-License-Identifier: MIT
#include "partfile/finaliser.h"
#include "platform/failure.h"
#include "scratch_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <sys/stat.h>

using namespace chimex;
using chimex::test::readFile;
using chimex::test::ScratchFolder;
using chimex::test::StepResult;
using chimex::test::UnprivilegedRunner;
using chimex::test::writeFile;
using ::testing::AllOf;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

const std::string journal = "\r\nJS, 1.463\r\n' note duration = 0.523\r\nJ3, .765\r\nPAUSE, .3\r\n";

HeaderValues someValues() {
    HeaderValues values;
    values.HighX = 0.76514906f;
    values.TopXYSpeed = 1.463f;
    return values;
}

/// Header, the journal lines as given (already CR LF ended) and the footer.
std::string partFile(const std::string& journalLines, const HeaderValues& values = someValues()) {
    std::ostringstream out;
    writeHeader(out, values);
    out << journalLines;
    writeFooter(out);
    return out.str();
}

std::string written(const std::string& journalText) {
    std::istringstream in(journalText);
    std::ostringstream out;
    writePartFile(in, out, someValues());
    return out.str();
}

TEST(WritePartFile, EmptyJournalGivesThirtySixLines) {
    std::istringstream in("");
    std::ostringstream out;
    writePartFile(in, out, HeaderValues{});
    const std::string text = out.str();
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 36u);
    EXPECT_EQ(text.size(), text.rfind("\r\n") + 2) << "ends with CR LF";
    EXPECT_EQ(lines[30], "PAUSE 2");
    EXPECT_EQ(lines[31], "");
    EXPECT_EQ(lines[32], "");
    EXPECT_EQ(lines[33], "' Finally restore the original settings");
    EXPECT_EQ(lines[35], "JS,,&oldJogZSpeed ");
}

TEST(WritePartFile, JournalLinesAndTheirEnds) {
    struct Case {
        const char* name;
        std::string journal;
        std::string copied;
    };
    const Case cases[] = {
        {"move blocks and a closing pause line", journal, journal},
        {"last line without line end", "\r\nJS, 2\r\nPAUSE, .0", "\r\nJS, 2\r\nPAUSE, .0\r\n"},
        {"lines ended by CR alone", "\rJS, 2\rJ3, 1.000\r", "\r\nJS, 2\r\nJ3, 1.000\r\n"},
        {"a LF not after a CR is part of the line", "a\nb\r\nc\n\r\n", "a\nb\r\nc\n\r\n"},
        {"blank lines are kept", "\r\n\r\n\r\n", "\r\n\r\n\r\n"},
        {"a lone LF line", "\n", "\n\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(written(c.journal), partFile(c.copied)) << c.name;
    }
}

TEST(WritePartFile, LineEndSplitAcrossReadChunks) {
    // The copy reads 64 KiB at a time; put CR and LF on either side of chunk boundaries.
    for (const std::size_t crAt : {65534u, 65535u, 65536u, 131071u}) {
        const std::string line(crAt, 'x');
        const std::string text = line + "\r\n" + "y\r\n";
        EXPECT_EQ(written(text), partFile(text)) << crAt;
        EXPECT_EQ(written(line + "\r"), partFile(line + "\r\n")) << crAt;
    }
}

TEST(WritePartFile, WriteFailureIsReported) {
    std::istringstream in(journal);
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_THROW(writePartFile(in, out, someValues()), Failure);
}

class FinalisePartFile : public ::testing::Test {
  protected:
    ScratchFolder scratch;
    fs::path program = scratch.folder("program", fs::perms(0755));
    fs::path temporary = program / "Chimex.tmp";

    void finalise(const fs::path& tuneFile) { finalisePartFile(tuneFile, program, someValues()); }

    /// Runs the finaliser expecting a failure; returns its message.
    std::string failure(const fs::path& tuneFile) {
        try {
            finalise(tuneFile);
        } catch (const Failure& failure) {
            return failure.what();
        }
        ADD_FAILURE() << "no failure for " << tuneFile;
        return {};
    }
};

TEST_F(FinalisePartFile, TuneFileBesideTheProgramAndLeftoverTemporaryFile) {
    const fs::path tune = program / "song.txt";
    writeFile(tune, journal);
    writeFile(temporary, std::string(100000, 'z')); // from an earlier run
    finalise(tune);
    EXPECT_EQ(readFile(tune), partFile(journal));
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(FinalisePartFile, EmptyTuneFile) {
    const fs::path tune = scratch.folder("tunes", fs::perms(0755)) / "empty.txt";
    writeFile(tune, "");
    finalise(tune);
    EXPECT_EQ(readFile(tune), partFile(""));
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(FinalisePartFile, TuneFileOnAnotherFileSystem) {
    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(program.c_str(), &here) != 0 ||
        here.st_dev == shm.st_dev) {
        GTEST_SKIP() << "/dev/shm is missing or on the same file system as " << program;
    }
    ScratchFolder other("/dev/shm");
    const fs::path tune = other.path() / "song.txt";
    writeFile(tune, journal);
    finalise(tune);
    EXPECT_EQ(readFile(tune), partFile(journal));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(std::distance(fs::directory_iterator(other.path()), fs::directory_iterator()), 1)
        << "no staging copy is left beside the tune file";
}

TEST_F(FinalisePartFile, MissingTuneFileTouchesNothing) {
    writeFile(temporary, "old");
    EXPECT_THAT(failure(program / "missing.txt"),
                AllOf(HasSubstr("Cannot open the tune file"), HasSubstr("missing.txt")));
    EXPECT_EQ(readFile(temporary), "old");
    EXPECT_FALSE(fs::exists(program / "missing.txt"));
}

TEST_F(FinalisePartFile, TuneFileThatIsAFolder) {
    const fs::path tune = scratch.folder("song.txt", fs::perms(0755));
    EXPECT_THAT(failure(tune), AllOf(HasSubstr("song.txt"), HasSubstr("is a folder")));
    EXPECT_TRUE(fs::is_directory(tune));
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(FinalisePartFile, TuneFileThatIsTheTemporaryFileWritesNothing) {
    writeFile(temporary, journal);
    const fs::path hardLink = scratch.path() / "linked.txt";
    fs::create_hard_link(temporary, hardLink);
    const fs::path symbolicLink = scratch.path() / "symbolic.txt";
    fs::create_symlink(temporary, symbolicLink);
    const fs::path spellings[] = {temporary, program / "." / "Chimex.tmp",
                                  scratch.path() / "program/../program/Chimex.tmp", hardLink,
                                  symbolicLink};
    for (const auto& tune : spellings) {
        EXPECT_THAT(failure(tune),
                    AllOf(HasSubstr("is the temporary file"), HasSubstr("Nothing was written")))
            << tune;
        EXPECT_EQ(readFile(temporary), journal) << tune;
    }
}

TEST_F(FinalisePartFile, ReadOnlyTuneFileKeepsTheJournal) {
    const fs::path tune = program / "song.txt";
    writeFile(tune, journal);
    fs::permissions(tune, fs::perms(0444));
    EXPECT_THAT(failure(tune),
                AllOf(HasSubstr("read-only"), HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_EQ(readFile(temporary), partFile(journal));
}

TEST_F(FinalisePartFile, DiskFullKeepsTheJournal) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full to stand for a full disk";
    }
    const fs::path tune = program / "song.txt";
    writeFile(tune, journal);
    fs::create_symlink("/dev/full", temporary);
    EXPECT_THAT(failure(tune),
                AllOf(HasSubstr("Cannot write the temporary file"), HasSubstr("song.txt")));
    EXPECT_EQ(readFile(tune), journal);
}

/// The failures that only file permissions cause, driven for real by a user they stop.
class FinaliserPermissions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!runner.unavailable().empty()) {
            GTEST_SKIP() << runner.unavailable();
        }
    }

    StepResult finalise(const fs::path& tune, const fs::path& program) const {
        return runner.run({"finalise", tune.string(), program.string()});
    }

    ScratchFolder scratch;
    UnprivilegedRunner runner{scratch};
};

TEST_F(FinaliserPermissions, ProgramFolderNotWritable) {
    const fs::path program = scratch.folder("program", fs::perms(0555));
    const fs::path tune = scratch.folder("tunes", fs::perms(0777)) / "song.txt";
    writeFile(tune, journal);
    const StepResult result = finalise(tune, program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output,
                AllOf(HasSubstr("Cannot create the temporary file"), HasSubstr("Chimex.tmp"),
                      HasSubstr("still holds the journal")));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_FALSE(fs::exists(program / "Chimex.tmp"));
}

TEST_F(FinaliserPermissions, ReadOnlyLeftoverTemporaryFile) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    writeFile(program / "Chimex.tmp", "old");
    fs::permissions(program / "Chimex.tmp", fs::perms(0444));
    const fs::path tune = scratch.folder("tunes", fs::perms(0777)) / "song.txt";
    writeFile(tune, journal);
    const StepResult result = finalise(tune, program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, HasSubstr("Cannot create the temporary file"));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_EQ(readFile(program / "Chimex.tmp"), "old");
}

TEST_F(FinaliserPermissions, TuneFolderNotWritable) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    const fs::path tunes = scratch.folder("tunes", fs::perms(0755));
    const fs::path tune = tunes / "song.txt";
    writeFile(tune, journal);
    fs::permissions(tunes, fs::perms(0555));
    const StepResult result = finalise(tune, program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, AllOf(HasSubstr("Cannot rename the finished part file"),
                                     HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_EQ(readFile(tune), journal);
    HeaderValues values;
    values.HighX = 1.5f; // what the tool passes
    EXPECT_EQ(readFile(program / "Chimex.tmp"), partFile(journal, values));
}

TEST_F(FinaliserPermissions, TuneFolderOnAnotherFileSystemNotWritable) {
    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat("/tmp", &here) != 0 || here.st_dev == shm.st_dev) {
        GTEST_SKIP() << "/dev/shm is missing or on the same file system as /tmp";
    }
    const fs::path program = scratch.folder("program", fs::perms(0777));
    ScratchFolder other("/dev/shm");
    const fs::path tune = other.path() / "song.txt";
    writeFile(tune, journal);
    fs::permissions(other.path(), fs::perms(0555));
    const StepResult result = finalise(tune, program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, AllOf(HasSubstr("Cannot copy the finished part file"),
                                     HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_TRUE(fs::exists(program / "Chimex.tmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(other.path()), fs::directory_iterator()), 1);
}

TEST_F(FinaliserPermissions, TuneFileNotReadable) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    const fs::path tune = scratch.folder("tunes", fs::perms(0777)) / "song.txt";
    writeFile(tune, journal);
    fs::permissions(tune, fs::perms(0200));
    const StepResult result = finalise(tune, program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.output, AllOf(HasSubstr("Cannot open the tune file"), HasSubstr("song.txt"),
                                     HasSubstr("Permission denied")));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_FALSE(fs::exists(program / "Chimex.tmp"));
}

} // namespace
