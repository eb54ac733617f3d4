// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/fake/fake_platform.h"
#include "text_files.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace chimex::test {

/// A program state whose tune file is a string, and a fake platform to play it on.
struct Playing {
    ProgramState state;
    FakePlatform platform;
    std::ostringstream* journal = nullptr;

    Playing() {
        auto stream = std::make_unique<std::ostringstream>();
        journal = stream.get();
        state.TuneStream.attach(std::move(stream));
    }

    std::string text() const { return journal->str(); }

    std::vector<std::string> lines() const { return crlfLines(text()); }
};

} // namespace chimex::test
