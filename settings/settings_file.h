// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/platform.h"
#include "settings/settings_view.h"

#include <filesystem>
#include <iosfwd>

namespace chimex {

inline constexpr const char* settingsFileName = "Chimex.ini";

/// Reads Chimex.ini from the program folder, when it exists, into MaxX..MaxZSpeed and the dialog's
/// fields and check box. Without a file nothing is touched. Throws InputFailure when reading fails.
void readSettingsFile(ProgramState& state, Platform& platform, SettingsView& view);

/// Replaces Chimex.ini with the six lines for the five settings and the pause state; written
/// beside it and renamed into place. Throws Failure naming the file when that fails.
void writeSettingsFile(const ProgramState& state, Platform& platform, int pauseState);

/// The reader's work on an open settings text: applies every recognised line, then sets the five
/// fields from the settings. Lines end at CR (a LF right after it belongs to the line end); a
/// UTF-8 byte-order mark at the start is ignored. Values not above 0 or beyond the
/// single-precision range, an
/// ADDPAUSE that does not round to 0, 1 or 2, and recognised keys without "=" are skipped.
void readSettings(std::istream& in, ProgramState& state, SettingsView& view);

/// The six lines of the settings file, each ended by CR LF.
void writeSettings(std::ostream& out, const ProgramState& state, int pauseState);

} // namespace chimex
