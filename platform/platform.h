// SPDX-License-Identifier: MIT
#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/program_files.h"
#include "platform/program_lifetime.h"
#include "platform/random_numbers.h"
#include "platform/sound.h"

namespace chimex {

/// The seams the desktop program's window works through, each a small interface of its own. The
/// program hands in the Qt implementations, the tests a scriptable fake; a routine that needs
/// only one seam takes only that one.
struct Platform {
    Clock& clock;
    RandomNumbers& random;
    Sound& sound;
    Dialogs& dialogs;
    ProgramFiles& files;
    ProgramLifetime& lifetime;
};

} // namespace chimex
