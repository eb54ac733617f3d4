// SPDX-License-Identifier: MIT
#include "files/failure.h"
#include "partfile/finaliser.h"
#include "scratch_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

/// The header values the file step tool passes too.
const HeaderValues values{.HighX = 1.5f};

/// Header, the journal lines as given (already CR LF ended) and the footer.
std::string partFile(const std::string& journalLines) {
    std::ostringstream out;
    writeHeader(out, values);
    out << journalLines;
    writeFooter(out);
    return out.str();
}

std::string written(const std::string& journalText) {
    std::istringstream in(journalText);
    std::ostringstream out;
    writePartFile(in, out, values);
    return out.str();
}

/// Writes the journal to FOLDER/song.txt.
fs::path song(const fs::path& folder) {
    writeFile(folder / "song.txt", journal);
    return folder / "song.txt";
}

bool onAnotherFileSystemThanShm(const fs::path& path) {
    struct stat here {};
    struct stat shm {};
    return ::stat("/dev/shm", &shm) == 0 && ::stat(path.c_str(), &here) == 0 &&
           here.st_dev != shm.st_dev;
}

long entries(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

TEST(WritePartFile, JournalLinesAndTheirEnds) {
    struct Case {
        const char* name;
        std::string journal;
        std::string copied;
    };
    const Case cases[] = {
        {"empty journal: header and footer alone", "", ""},
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
    // The copy reads 1 MiB at a time; put CR and LF on either side of chunk boundaries.
    for (const std::size_t crAt : {65535u, 1048574u, 1048575u, 1048576u, 2097151u}) {
        const std::string line(crAt, 'x');
        const std::string text = line + "\r\n" + "y\r\n";
        EXPECT_EQ(written(text), partFile(text)) << crAt;
        EXPECT_EQ(written(line + "\r"), partFile(line + "\r\n")) << crAt;
    }
}

TEST(WritePartFile, LoneCrInEveryPlaceOfAWordIsEnded) {
    // Chunks are tested eight bytes at a time for a CR without its LF.
    for (std::size_t at = 0; at < 18; ++at) {
        const std::string head(at, 'a');
        const std::string tail(20, 'c');
        EXPECT_EQ(written(head + "\r" + tail + "\r\n"), partFile(head + "\r\n" + tail + "\r\n"))
            << at;
    }
}

TEST(WritePartFile, WriteFailureIsReported) {
    std::istringstream in(journal);
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_THROW(writePartFile(in, out, values), Failure);
}

class FinalisePartFile : public ::testing::Test {
  protected:
    ScratchFolder scratch;
    fs::path program = scratch.folder("program", fs::perms(0755));
    fs::path temporary = program / "Chimex.tmp";

    void finalise(const fs::path& tuneFile) { finalisePartFile(tuneFile, program, values); }

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

TEST_F(FinalisePartFile, TuneFileBesideTheProgramOrInAnotherFolder) {
    writeFile(temporary, std::string(100000, 'z')); // a leftover from an earlier run
    const fs::path tunes[] = {song(program), scratch.folder("tunes", fs::perms(0755)) / "empty"};
    writeFile(tunes[1], "");
    finalise(tunes[0]);
    EXPECT_EQ(readFile(tunes[0]), partFile(journal));
    EXPECT_FALSE(fs::exists(temporary));
    finalise(tunes[1]);
    EXPECT_EQ(readFile(tunes[1]), partFile(""));
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(FinalisePartFile, TuneFileOnAnotherFileSystem) {
    if (!onAnotherFileSystemThanShm(program)) {
        GTEST_SKIP() << "/dev/shm is missing or on the same file system as " << program;
    }
    ScratchFolder other("/dev/shm");
    const fs::path tune = song(other.path());
    finalise(tune);
    EXPECT_EQ(readFile(tune), partFile(journal));
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(entries(other.path()), 1) << "no staging copy is left beside the tune file";
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
    const fs::path symbolicLink = scratch.path() / "symbolic.txt";
    fs::create_symlink(temporary, symbolicLink);
    const fs::path spellings[] = {temporary, program / "." / "Chimex.tmp",
                                  scratch.path() / "program/../program/Chimex.tmp", symbolicLink};
    for (const auto& tune : spellings) {
        EXPECT_THAT(failure(tune),
                    AllOf(HasSubstr("is the temporary file"), HasSubstr("Nothing was written")))
            << tune;
        EXPECT_EQ(readFile(temporary), journal) << tune;
    }
}

TEST_F(FinalisePartFile, ReadOnlyTuneFileKeepsTheJournal) {
    const fs::path tune = song(program);
    fs::permissions(tune, fs::perms(0444));
    EXPECT_THAT(failure(tune),
                AllOf(HasSubstr("read-only"), HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_EQ(readFile(tune), journal);
    EXPECT_EQ(readFile(temporary), partFile(journal));
    EXPECT_NE(fs::status(temporary).permissions() & fs::perms::owner_write, fs::perms::none)
        << "the tune file's mode is given only to the file that replaces it";
    fs::permissions(temporary, fs::perms(0444)); // a leftover, however made, never blocks a finish
    const fs::path next = song(scratch.folder("tunes", fs::perms(0755)));
    finalise(next);
    EXPECT_EQ(readFile(next), partFile(journal));
    EXPECT_FALSE(fs::exists(temporary));
}

TEST_F(FinalisePartFile, DiskFullKeepsTheJournal) {
    const fs::path tune = song(program);
    // A file size limit stands for the full disk: writing past it fails as ENOSPC would.
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = failure(tune);
        ::_exit(message.find("Cannot write the temporary file") != std::string::npos &&
                        message.find("song.txt") != std::string::npos
                    ? 0
                    : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(tune), journal);
}

/// Whatever stands at the temporary file's name goes; nothing it leads to is written or opened.
TEST_F(FinalisePartFile, LinksAndPipesAtTheTemporaryNameAreNotFollowed) {
    const fs::path victim = scratch.path() / "victim.txt";
    const std::function<void()> plant[] = {
        [&] { fs::create_symlink(victim, temporary); },
        [&] { fs::create_hard_link(victim, temporary); },
        [&] { ::mkfifo(temporary.c_str(), 0644); },
        [&] { fs::create_symlink(song(scratch.path()), temporary); }, // to another tune file
    };
    for (std::size_t i = 0; i < std::size(plant); ++i) {
        writeFile(victim, "keep");
        plant[i]();
        const fs::path tune = song(program);
        fs::permissions(tune, fs::perms(0600)); // a replaced tune file keeps its mode
        finalise(tune);
        EXPECT_EQ(readFile(tune), partFile(journal)) << i;
        EXPECT_EQ(fs::symlink_status(tune).type(), fs::file_type::regular) << i;
        EXPECT_EQ(fs::status(tune).permissions(), fs::perms(0600)) << i;
        EXPECT_EQ(readFile(victim), "keep") << i;
        EXPECT_FALSE(fs::exists(fs::symlink_status(temporary))) << i;
    }
}

TEST_F(FinalisePartFile, RootKeepsTheOwnerOfTheTuneFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another owner";
    }
    const fs::path tune = song(program);
    ASSERT_EQ(::chown(tune.c_str(), 65534, 65534), 0);
    finalise(tune);
    struct stat status {};
    ASSERT_EQ(::stat(tune.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
}

/// The failures that only file permissions cause, driven for real by a user they stop.
class FinaliserPermissions : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!runner.unavailable().empty()) {
            GTEST_SKIP() << runner.unavailable();
        }
    }

    /// Finalises as that user; the step must fail and leave the tune file holding the journal.
    std::string refused(const fs::path& tune, const fs::path& program) const {
        const StepResult result = runner.run({"finalise", tune.string(), program.string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(readFile(tune), journal);
        return result.output;
    }

    ScratchFolder scratch;
    UnprivilegedRunner runner{scratch};
};

TEST_F(FinaliserPermissions, ProgramFolderNotWritable) {
    const fs::path program = scratch.folder("program", fs::perms(0555));
    const fs::path tune = song(scratch.folder("tunes", fs::perms(0777)));
    EXPECT_THAT(refused(tune, program),
                AllOf(HasSubstr("Cannot create the temporary file"), HasSubstr("Chimex.tmp"),
                      HasSubstr("still holds the journal")));
    EXPECT_FALSE(fs::exists(program / "Chimex.tmp"));
}

TEST_F(FinaliserPermissions, ReadOnlyLeftoverTemporaryFileOfAnotherUserIsReplaced) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    writeFile(program / "Chimex.tmp", "old");
    fs::permissions(program / "Chimex.tmp", fs::perms(0444));
    const fs::path tune = song(scratch.folder("tunes", fs::perms(0777)));
    const StepResult result = runner.run({"finalise", tune.string(), program.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readFile(tune), partFile(journal));
}

TEST_F(FinaliserPermissions, TuneFolderNotWritable) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    const fs::path tune = song(scratch.folder("tunes", fs::perms(0755)));
    fs::permissions(tune.parent_path(), fs::perms(0555));
    EXPECT_THAT(refused(tune, program), AllOf(HasSubstr("Cannot rename the finished part file"),
                                              HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_EQ(readFile(program / "Chimex.tmp"), partFile(journal));
}

TEST_F(FinaliserPermissions, FoldersThatCannotBeReadToSyncStillFinish) {
    const fs::path program = scratch.folder("program", fs::perms(0333));
    const fs::path tune = song(scratch.folder("tunes", fs::perms(0333)));
    const StepResult result = runner.run({"finalise", tune.string(), program.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(readFile(tune), partFile(journal));
}

TEST_F(FinaliserPermissions, TuneFolderOnAnotherFileSystemNotWritable) {
    if (!onAnotherFileSystemThanShm("/tmp")) {
        GTEST_SKIP() << "/dev/shm is missing or on the same file system as /tmp";
    }
    const fs::path program = scratch.folder("program", fs::perms(0777));
    ScratchFolder other("/dev/shm");
    const fs::path tune = song(other.path());
    fs::permissions(other.path(), fs::perms(0555));
    EXPECT_THAT(refused(tune, program), AllOf(HasSubstr("Cannot copy the finished part file"),
                                              HasSubstr("song.txt"), HasSubstr("Chimex.tmp")));
    EXPECT_TRUE(fs::exists(program / "Chimex.tmp"));
    EXPECT_EQ(entries(other.path()), 1);
}

TEST_F(FinaliserPermissions, TuneFileNotReadable) {
    const fs::path program = scratch.folder("program", fs::perms(0777));
    const fs::path tune = song(scratch.folder("tunes", fs::perms(0777)));
    fs::permissions(tune, fs::perms(0200));
    EXPECT_THAT(refused(tune, program),
                AllOf(HasSubstr("Cannot open the tune file"), HasSubstr("song.txt"),
                      HasSubstr("Permission denied")));
    EXPECT_FALSE(fs::exists(program / "Chimex.tmp"));
}

} // namespace
