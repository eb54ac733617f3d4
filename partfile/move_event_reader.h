// SPDX-License-Identifier: MIT
#pragma once

#include "partfile/axis.h"
#include "partfile/line_reader.h"
#include "partfile/line_texts.h"

#include <array>
#include <deque>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace chimex {

struct HeaderEntry {
    std::optional<double> value; ///< nothing when the file does not state it
    long long line = 0;          ///< line that stated it
};

enum class MoveEventKind { Move, Pause };

/// One thing the machine does: a jog of one axis, or a pause.
struct MoveEvent {
    MoveEventKind kind = MoveEventKind::Move;
    long long line = 0;
    Axis axis = Axis::X;         ///< Move: the axis that jogs
    std::optional<double> speed; ///< Move: jog speed in force; nothing when the file has not set it
    double from = 0;             ///< Move: coordinate before the jog
    double target = 0;           ///< Move: coordinate after the jog
    bool singleAxis = true;      ///< Move: the line names only this axis, as a note's jog does
    /// Move: one of the axes of a G1 that moves several along one straight line, each at its
    /// share of the feed, so that they start and arrive together.
    bool alongPath = false;
    double seconds = 0; ///< Pause: its length
};

/// The notes a file plays: each jog of one axis, as a note's jog line is, and each G1 of several
/// axes along one line, a chord, counted once for all its axes.
class NoteTally {
  public:
    void add(const MoveEvent& move);
    long long notes() const { return notes_; }
    long long chords() const { return chords_; }
    /// "3 notes", or "3 notes, 2 chords" when there are chords.
    std::string text() const;

  private:
    long long notes_ = 0;
    long long chords_ = 0;
    long long chordLine_ = 0;
};

/// A line that is not well-formed.
struct MoveIssue {
    long long line = 0;
    std::string message;
};

/// A line's text without its leading and trailing blanks and tabs.
std::string_view trim(std::string_view text);

/// A line's text as an issue shows it: quoted, at most 60 characters, unprintable ones as '?'.
std::string shown(std::string_view text);

/// What the readers of part files and of G-code share: lines pulled one at a time until a line
/// yields events, over-long lines reported as issues, the header values and the replayed position.
class MoveEventReader {
  public:
    using IssueHandler = std::function<void(const MoveIssue&)>;

    virtual ~MoveEventReader() = default;

    /// The next event, nothing at the end of the file. Throws InputFailure when reading fails.
    std::optional<MoveEvent> next();

    /// The header values stated so far (all of them once next() has returned nothing).
    const std::array<HeaderEntry, headerItemCount>& header() const { return header_; }
    long long linesRead() const { return lines_.lineNumber(); }
    /// Once next() has returned nothing: what the file lacks at its end (a file cut short loses
    /// it), or nothing when it ends as the writer ends it.
    virtual std::optional<std::string> missingEnd() const = 0;

  protected:
    /// `crEndsLine` false: lines end at LF only, and a CR stays in the line for readLine to judge.
    MoveEventReader(std::istream& in, IssueHandler onIssue, bool crEndsLine = true);

    /// Stores header item `item` as this line states it; reports a value that is not a number
    /// (nothing) or stated twice. `line` is the comment, shown in the issue.
    void storeHeaderValue(std::size_t item, std::optional<double> value, std::string_view line);

    /// Turns one line into events on `pending_` (or none), or reports it through issue().
    virtual void readLine(std::string_view line) = 0;
    void issue(std::string message);

    LineReader lines_;
    IssueHandler onIssue_;
    std::array<HeaderEntry, headerItemCount> header_;
    std::array<double, 3> position_{0, 0, 0};
    std::deque<MoveEvent> pending_;
};

} // namespace chimex
