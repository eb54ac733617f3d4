// SPDX-License-Identifier: MIT
#include "finaliser.h"

#include "files/atomic_output_file.h"
#include "files/disk_sync.h"
#include "files/failure.h"
#include "files/new_file.h"

#include <ext/stdio_filebuf.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace chimex {

namespace fs = std::filesystem;

namespace {

enum class CopyOutcome { Done, ReadFailed, WriteFailed };

constexpr std::size_t chunkSize = 1 << 20;

/// The high bit of each byte of `word` that equals `byte`, exactly (no false matches).
std::uint64_t bytesEqual(std::uint64_t word, unsigned char byte) {
    constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t x = word ^ (0x0101010101010101ull * byte);
    return ~(((x & low7) + low7) | x | low7);
}

std::uint64_t wordAt(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
}

/// True when every CR before the chunk's last byte is followed by a LF, the journal's own line
/// end: the chunk can then be written as it stands. Tests eight bytes at a time without branches
/// (the byte after each CR is the same lane of the word one byte on), so it runs near memory
/// speed.
bool onlyCrLf(const char* begin, const char* end) {
    std::uint64_t lone = 0;
    const char* p = begin;
    for (; end - p > 8; p += 8) {
        lone |= bytesEqual(wordAt(p), '\r') & ~bytesEqual(wordAt(p + 1), '\n');
    }
    for (; p + 1 < end; ++p) {
        lone |= static_cast<std::uint64_t>((p[0] == '\r') & (p[1] != '\n'));
    }
    return lone == 0;
}

/// Fills the buffer as far as the journal allows; the count read.
std::size_t readChunk(std::istream& in, std::vector<char>& buffer) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    return static_cast<std::size_t>(in.gcount());
}

/// Copies the journal in large chunks, each line ended by CR LF: a CR ends a line, a LF right
/// after it is part of that line end (also across chunks), and an unended last line gets CR LF.
/// Runs of lines already ended by CR LF are written as they stand, in one piece; a chunk made of
/// such lines only, the usual case, is written whole.
CopyOutcome copyJournal(std::istream& in, std::ostream& out) {
    std::vector<char> buffer(chunkSize);
    bool lineOpen = false; // the last byte written is not the end of a line
    bool afterCr = false;  // the previous chunk ended with a CR
    for (;;) {
        const char* run = buffer.data();
        const char* const end = run + readChunk(in, buffer);
        if (run == end) {
            break;
        }
        if (afterCr && *run == '\n') {
            ++run;
        }
        afterCr = false;
        const char* p = run;
        if (end - run > 1 && onlyCrLf(run, end)) {
            p = end - 1; // only the last byte may be a CR whose LF is in the next chunk
        }
        for (; p < end; ++p) {
            p = static_cast<const char*>(std::memchr(p, '\r', end - p));
            if (p == nullptr) {
                break;
            }
            if (p + 1 < end && p[1] == '\n') {
                ++p; // already ended by CR LF
                continue;
            }
            out.write(run, p - run);
            out.write("\r\n", 2);
            afterCr = p + 1 == end;
            run = p + 1;
        }
        if (run < end) {
            out.write(run, end - run);
            lineOpen = !(end - run >= 2 && end[-2] == '\r' && end[-1] == '\n');
        } else {
            lineOpen = false;
        }
        if (!out) {
            return CopyOutcome::WriteFailed;
        }
    }
    if (in.bad()) {
        return CopyOutcome::ReadFailed;
    }
    if (lineOpen) {
        out.write("\r\n", 2);
    }
    return out ? CopyOutcome::Done : CopyOutcome::WriteFailed;
}

CopyOutcome streamPartFile(std::istream& journal, std::ostream& out, const HeaderValues& values) {
    writeHeader(out, values);
    const CopyOutcome outcome = copyJournal(journal, out);
    if (outcome != CopyOutcome::Done) {
        return outcome;
    }
    writeFooter(out);
    return out ? CopyOutcome::Done : CopyOutcome::WriteFailed;
}

std::string quoted(const fs::path& path) {
    return "\"" + path.string() + "\"";
}

std::string errnoText() {
    return reasonText(errno);
}

std::string journalKept(const fs::path& tuneFile) {
    return ". The tune file " + quoted(tuneFile) + " still holds the journal";
}

std::string bothKept(const fs::path& tuneFile, const fs::path& temporary) {
    return journalKept(tuneFile) + "; the finished part file is " + quoted(temporary);
}

std::ifstream openJournal(const fs::path& tuneFile) {
    std::error_code error;
    if (fs::is_directory(tuneFile, error)) {
        throw Failure("Cannot open the tune file " + quoted(tuneFile) +
                      " for reading: it is a folder");
    }
    errno = 0;
    std::ifstream journal(tuneFile, std::ios::binary);
    if (!journal.is_open()) {
        throw Failure("Cannot open the tune file " + quoted(tuneFile) +
                      " for reading: " + errnoText());
    }
    return journal;
}

/// Whatever stands at the temporary file's name is removed before it is made anew, unless it is
/// the tune file itself (the user chose that name): that would lose the journal. Another name
/// for the same file (a link) is only a name and goes.
void refuseSameFile(const fs::path& tuneFile, const fs::path& temporary) {
    std::error_code error;
    const fs::path tune = fs::weakly_canonical(tuneFile, error);
    const fs::path folder = fs::weakly_canonical(folderOf(temporary), error);
    if (error || tune != folder / temporary.filename()) {
        return;
    }
    throw Failure("Cannot build the part file: the tune file " + quoted(tuneFile) +
                  " is the temporary file " + quoted(temporary) +
                  " itself. Nothing was written; the tune file still holds the journal");
}

/// Makes the temporary file as a new ordinary file: a link, FIFO or file left at its name (by an
/// earlier run that could not finish, whatever its mode) is removed first, never followed or
/// opened, so that no leftover stops a finish.
int createTemporary(const fs::path& temporary, const fs::path& tuneFile) {
    std::error_code error;
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) {
        throw Failure("Cannot remove the old temporary file " + quoted(temporary) + ": " +
                      errnoText() + journalKept(tuneFile));
    }
    const int fd = createNewFile(temporary, error);
    if (fd < 0) {
        throw Failure("Cannot create the temporary file " + quoted(temporary) + ": " +
                      reasonText(error) + journalKept(tuneFile));
    }
    return fd;
}

/// The finished file takes the tune file's mode (and owner, for root) only once it is sure to
/// replace it: a read-only tune file is refused first, so the file left behind stays the
/// program's own. Its data must be on the disk before it replaces the journal.
void prepareForRename(int fd, const fs::path& finished, const fs::path& tuneFile) {
    if (isReadOnly(tuneFile)) {
        throw Failure("Cannot replace the tune file " + quoted(tuneFile) + ": it is read-only" +
                      bothKept(tuneFile, finished));
    }
    std::error_code error = copyModeAndOwner(fd, tuneFile);
    if (!error) {
        error = syncFileData(fd);
    }
    if (error) {
        throw Failure("Cannot write the finished part file " + quoted(finished) +
                      " to the disk: " + reasonText(error) + journalKept(tuneFile));
    }
}

/// After the rename the folders' new names must reach the disk too, or a power cut may bring the
/// journal back (or lose both names).
void syncFoldersAfterRename(const fs::path& tuneFile, const fs::path& from) {
    std::error_code error = syncFolder(folderOf(tuneFile));
    if (!error && folderOf(from) != folderOf(tuneFile)) {
        error = syncFolder(folderOf(from));
    }
    if (error) {
        throw Failure("The part file " + quoted(tuneFile) +
                      " is finished, but its folder cannot be synced to the disk, so a power cut "
                      "may undo it: " +
                      reasonText(error));
    }
}

void buildPartFile(std::ifstream& journal, const fs::path& tuneFile, const fs::path& temporary,
                   const HeaderValues& values) {
    __gnu_cxx::stdio_filebuf<char> file(createTemporary(temporary, tuneFile),
                                        std::ios::out | std::ios::binary, chunkSize);
    std::ostream out(&file);
    errno = 0;
    const CopyOutcome outcome = streamPartFile(journal, out, values);
    journal.close();
    if (outcome == CopyOutcome::ReadFailed) {
        throw Failure("Cannot read the tune file " + quoted(tuneFile) + ": " + errnoText() +
                      journalKept(tuneFile));
    }
    if (outcome == CopyOutcome::WriteFailed || !out.flush()) {
        throw Failure("Cannot write the temporary file " + quoted(temporary) + ": " + errnoText() +
                      journalKept(tuneFile));
    }
    prepareForRename(file.fd(), temporary, tuneFile);
    if (file.close() == nullptr) {
        throw Failure("Cannot write the temporary file " + quoted(temporary) + ": " + errnoText() +
                      journalKept(tuneFile));
    }
}

/// Across volumes: the finished file is copied as a new file in the tune file's folder, which
/// has no name until it replaces the tune file, so the tune file's path holds the journal or the
/// finished file at every moment and nothing is left beside it however the program ends; then
/// the temporary file is removed.
void moveAcrossVolumes(const fs::path& temporary, const fs::path& tuneFile) {
    try {
        std::ifstream finished(temporary, std::ios::binary);
        AtomicOutputFile copy(tuneFile);
        copy.stream() << finished.rdbuf();
        if (!finished) {
            throw Failure("Cannot read " + quoted(temporary));
        }
        copy.commit();
    } catch (const Failure& failure) {
        throw Failure("Cannot copy the finished part file " + quoted(temporary) +
                      " into the folder of the tune file: " + failure.what() +
                      bothKept(tuneFile, temporary));
    }
    std::error_code error;
    fs::remove(temporary, error);
    if (error) {
        throw Failure("The part file " + quoted(tuneFile) +
                      " is finished, but the temporary file " + quoted(temporary) +
                      " cannot be removed: " + reasonText(error));
    }
}

/// Renaming over the tune file replaces it in one step; unlike deleting it first, a failure never
/// leaves its path empty.
void replaceTuneFile(const fs::path& temporary, const fs::path& tuneFile) {
    std::error_code error;
    fs::rename(temporary, tuneFile, error);
    if (error == std::errc::cross_device_link) {
        moveAcrossVolumes(temporary, tuneFile);
    } else if (error) {
        throw Failure("Cannot rename the finished part file " + quoted(temporary) +
                      " to the tune file " + quoted(tuneFile) + ": " + reasonText(error) +
                      bothKept(tuneFile, temporary));
    } else {
        syncFoldersAfterRename(tuneFile, temporary);
    }
}

} // namespace

void writePartFile(std::istream& journal, std::ostream& out, const HeaderValues& values) {
    errno = 0;
    switch (streamPartFile(journal, out, values)) {
    case CopyOutcome::ReadFailed:
        throw Failure("Cannot read the journal: " + errnoText());
    case CopyOutcome::WriteFailed:
        throw Failure("Cannot write the part file: " + errnoText());
    case CopyOutcome::Done:
        break;
    }
}

void finalisePartFile(const fs::path& tuneFile, const fs::path& temporaryFolder,
                      const HeaderValues& values) {
    const fs::path temporary = temporaryFolder / temporaryFileName;
    std::ifstream journal = openJournal(tuneFile);
    refuseSameFile(tuneFile, temporary);
    buildPartFile(journal, tuneFile, temporary, values);
    replaceTuneFile(temporary, tuneFile);
}

} // namespace chimex
