// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "platform/fake/fake_platform.h"

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

    /// The journal split at CR LF; a line end is required after every line.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        const std::string all = text();
        std::size_t start = 0;
        for (auto end = all.find("\r\n"); end != std::string::npos; end = all.find("\r\n", start)) {
            out.push_back(all.substr(start, end - start));
            start = end + 2;
        }
        return out;
    }
};

} // namespace chimex::test
