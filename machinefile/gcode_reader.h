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
/// The subset: G0 and G1 with X, Y, Z and F (a line of axis words alone continues the last G0 or
/// G1), G4 with P (milliseconds in a file written for Marlin, seconds otherwise), M0, M1, M2,
/// M30 (not for Marlin), comments in parentheses or after ';', a '%' line. Letters in either case.
/// Units and modes are set once, before the first move, by the setup line the writer writes:
/// "G21 G90 G94" or "G20 G90 G94", for Marlin "G90"; a unit or mode word anywhere else would make
/// the machine move otherwise than the file reads. A G1 of several axes moves them along one
/// straight line at its feed, each axis at its share of it. In a LinuxCNC file, a G1 of one axis
/// by gcodeRestStep is a rest timed by the machine's motion, read as a pause.
class GcodeReader : public MoveEventReader {
  public:
    GcodeReader(std::istream& in, IssueHandler onIssue);

    /// A file ends with its program end (M2 or M30; for Marlin the last comment), after which
    /// nothing moves.
    std::optional<std::string> missingEnd() const override;

    /// The controller and unit the file was written for, as read so far: from its first comment
    /// (GRBL when it has none) and its setup line.
    GcodeFormat format() const;

  private:
    struct Words;

    void readLine(std::string_view line) override;
    bool readSetup(const Words& words, std::string_view line);
    bool readProgramEnd(const Words& words, std::string_view line);
    bool stripComments(std::string_view line, std::string& code);
    void readComment(std::string_view text);
    bool readWords(std::string_view code, Words& words);
    bool readWord(char letter, double value, Words& words);
    void addMoves(const Words& words);
    void addRestMove(const Words& words, double length);

    std::optional<double> feed_; ///< units a minute, once an F word sets it
    int motion_ = -1;            ///< the last G0 or G1; -1 before any
    bool marlin_ = false;        ///< written for Marlin: dwells in milliseconds, no program end
    bool linuxCnc_ = false;      ///< written for LinuxCNC: exact path mode on the setup line
    bool setup_ = false;         ///< the setup line has been read
    bool exactPath_ = false;     ///< the setup line chose exact path mode (G61.1)
    bool inch_ = false;          ///< the setup line chose inches (G20)
    bool setupMissed_ = false;   ///< a move before the setup line has been reported
    bool ended_ = false;         ///< the program end has been read (Marlin: is the last line)
};

} // namespace chimex
