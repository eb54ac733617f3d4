// SPDX-License-Identifier: MIT
#pragma once

#include "machinefile/gcode_format.h"
#include "partfile/line_reader.h"
#include "partfile/part_file_reader.h"

#include <array>
#include <deque>
#include <optional>
#include <string_view>

namespace chimex {

/// Reads the G-code chimex-cli writes as the same events a part file gives: positions replayed
/// from 0, 0, 0, feeds turned into jog speeds a second, dwells into pauses, and the header
/// comments into the header values. Lines outside that subset go to the issue handler and are
/// otherwise skipped. Memory does not grow with the file.
///
/// The subset is what the writer writes, so that every controller of the dialect reads the file
/// as this reader does: lines end at LF or CR LF; printable ASCII only; each line starts with its
/// G or M word: G0 and G1 with X, Y, Z and F, G4 with P alone (milliseconds in a file written for
/// Marlin, seconds otherwise), M0, M2 and M30 (not for Marlin), at most one of each group a line;
/// letters in either case (upper case only for Marlin). Comments are the writer's own texts, in
/// parentheses, for Marlin and Klipper after ';' (they take parentheses for no comment), and the
/// first one names the controller on the first line. Units and modes are set once, before the first
/// move, by the setup line the writer writes: "G21 G90 G94" or "G20 G90 G94", for Marlin "G90"; a
/// unit or mode word anywhere else would make the machine move otherwise than the file reads.
/// Nothing follows the program end. Klipper's file has "G21" and "G90" each on its own line
/// (Klipper takes the words after the first as its parameters), no M0, M2 or M30, and
/// SET_VELOCITY_LIMIT lines as the writer writes them. A G1 of several axes moves them along one
/// straight line at its feed, each axis at its share of it. In a LinuxCNC file, a G1 of one axis
/// by gcodeRestStep is a rest timed by the machine's motion, read as a pause.
class GcodeReader : public MoveEventReader {
  public:
    GcodeReader(std::istream& in, IssueHandler onIssue);

    /// A file ends with its program end (M2 or M30; for Marlin the last comment), after which
    /// only blank lines follow.
    std::optional<std::string> missingEnd() const override;

    /// The controller and unit the file was written for, as read so far: from its first comment
    /// (GRBL when it has none) and its setup line; and the machine its header states it was timed
    /// for.
    GcodeFormat format() const;

  private:
    struct Words;

    void readLine(std::string_view line) override;
    bool readCharacters(std::string_view& line);
    bool readSetup(const Words& words, std::string_view line);
    bool readProgramEnd(const Words& words, std::string_view line);
    bool stripComments(std::string_view line, std::string& code);
    bool readComment(std::string_view text, bool semicolon, std::string_view line);
    bool readWords(std::string_view code, Words& words);
    bool takeWord(std::string_view word, double value, std::string_view code, Words& words);
    bool readWord(char letter, double value, Words& words);
    void addMoves(const Words& words);
    void addRestMove(const Words& words, double length);
    /// Written for a printer's firmware (Marlin, Klipper): dwells in milliseconds, `;` comments.
    bool printer() const { return marlin_ || klipper_; }
    bool readKlipperSetup(const Words& words, std::string_view line);

    std::optional<double> feed_; ///< units a minute, once an F word sets it
    TimedFor timedFor_;          ///< what the header's "Timed for" comments state
    bool marlin_ = false;        ///< written for Marlin: dwells in milliseconds, no program end
    bool linuxCnc_ = false;      ///< written for LinuxCNC: exact path mode on the setup line
    bool klipper_ = false;       ///< written for Klipper: as Marlin, with G21 and G90 each alone
    bool millimetres_ = false;   ///< Klipper's G21 has been read
    bool setup_ = false;         ///< the setup line has been read
    bool exactPath_ = false;     ///< the setup line chose exact path mode (G61.1)
    bool inch_ = false;          ///< the setup line chose inches (G20)
    bool setupMissed_ = false;   ///< a move before the setup line has been reported
    bool ended_ = false;         ///< the program end has been read
};

} // namespace chimex
