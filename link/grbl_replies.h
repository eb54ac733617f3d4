// SPDX-License-Identifier: MIT
#pragma once

#include "link/axis_values.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chimex {

/// GRBL 1.1's machine states, as its status reports name them.
enum class GrblState { Idle, Run, Hold, Jog, Alarm, Door, Check, Home, Sleep };

/// A status report, the answer to `?` (mm unless GRBL's `$13` asks for inches):
/// `<Idle|MPos:0.000,0.000,0.000|Bf:15,128|FS:0,0>`.
struct GrblStatus {
    GrblState state = GrblState::Idle;
    int subState = -1;                    ///< `Hold:0`, `Door:1`...; -1 when none
    AxisValues position{};                ///< MPos, or WPos when `workPosition`
    bool workPosition = false;            ///< the report gave WPos (`$10` bit 0 clear)
    std::optional<AxisValues> offset;     ///< WCO = MPos - WPos, sent every few reports
    std::optional<int> plannerBlocksFree; ///< Bf: first value, when `$10` asks for it
    std::optional<int> receiveBytesFree;  ///< Bf: second value
    std::optional<long> lineNumber;       ///< Ln:
    double feedPerMinute = 0;             ///< F: or the first value of FS:
    std::string pins;                     ///< Pn: the inputs triggered (X, Y, Z, P, D, H, R, S)
};

/// Reads a status report; nothing when `line` is not one in GRBL 1.1's format. Fields it does
/// not know are skipped, as GRBL's interface asks.
std::optional<GrblStatus> parseGrblStatus(std::string_view line);

/// What a line from GRBL is.
enum class GrblReplyKind {
    Ok,          ///< `ok`: the oldest line not yet answered was taken
    Error,       ///< `error:N`: it was refused
    Alarm,       ///< `ALARM:N`
    Status,      ///< `<...>`
    Welcome,     ///< `Grbl 1.1h ['$' for help]`: GRBL started or was reset
    Message,     ///< `[MSG:...]`
    Feedback,    ///< another `[...]`: build info, parser state, parameters, help
    Setting,     ///< `$N=value` of `$$`, `$Nx=line` of `$N`
    StartupLine, ///< `>G54:ok`, a start-up block GRBL ran of its own accord
    Blank,
    Unknown,
};

struct GrblReply {
    GrblReplyKind kind = GrblReplyKind::Unknown;
    int code = 0;          ///< of an error or alarm
    std::string_view text; ///< the message, the welcome's version, or the whole line
};

GrblReply classifyGrblReply(std::string_view line);

/// The answer to `$I`.
struct GrblBuildInfo {
    std::string version; ///< "1.1h.20190825"
    std::string options; ///< the option letters of `[OPT:...]`
    int plannerBlocks = 15;
    int receiveBytes = 128; ///< GRBL's serial receive buffer
};

/// Reads the `[VER:...]` and `[OPT:letters,blocks,bytes]` lines; a GRBL before 1.1f gives no
/// sizes, and keeps its default 15 blocks and 128 bytes.
GrblBuildInfo parseGrblBuildInfo(const std::vector<std::string>& lines);

/// True for version "1.1..." or later: the status reports and jogging these classes rely on.
bool isGrbl11OrLater(std::string_view version);

/// What GRBL 1.1 means by `error:N` and `ALARM:N`, in words.
std::string grblErrorWords(int code);
std::string grblAlarmWords(int code);

/// The single-byte commands GRBL acts on at once, wherever they come.
enum class GrblRealTime : unsigned char {
    StatusQuery = '?',
    CycleStart = '~',
    FeedHold = '!',
    SoftReset = 0x18,
    JogCancel = 0x85,
};

/// What a byte would do to GRBL as a real-time command ("a feed hold"); empty for a byte it
/// keeps in its line.
std::string_view grblRealTimeMeaning(unsigned char byte);

/// A line as GRBL needs it: without comments and blanks. A `$` command is only trimmed, since a
/// `$I=` or `$N0=` text keeps its spaces.
std::string grblWireLine(std::string_view line);

} // namespace chimex
