// SPDX-License-Identifier: MIT
// The fake GRBL against runs of GRBL 1.1h recorded in its simulation: the same lines and real-time
// bytes at the same times must draw the same replies, in order, and leave the machine where it was.
#include "fake_grbl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace chimex {
namespace {

struct Recording {
    std::vector<std::pair<double, std::string>> sent; ///< seconds, bytes
    std::vector<std::string> received;
    std::array<double, 3> end{};
    double endTime = 0;
};

Recording readRecording(const std::string& name) {
    std::ifstream file(std::string(CHIMEX_GRBL_RECORDED) + "/protocol_" + name + ".txt");
    Recording run;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        double seconds = 0;
        std::string direction;
        if (line.starts_with('#') || !(words >> seconds >> direction)) {
            continue;
        }
        std::string text;
        std::getline(words >> std::ws, text);
        if (direction == ">") {
            run.sent.emplace_back(seconds, text + "\n");
        } else if (direction == "*") {
            run.sent.emplace_back(seconds, std::string(1, char(std::stoi(text, nullptr, 16))));
        } else if (direction == "<") {
            run.received.push_back(text);
        } else {
            std::istringstream(text) >> run.end[0] >> run.end[1] >> run.end[2];
            run.endTime = seconds;
        }
    }
    return run;
}

/// A reply as compared: a status report by its state alone, any other line whole.
std::string kindOf(const std::string& reply) {
    return reply.starts_with('<') ? reply.substr(0, reply.find('|')) : reply;
}

std::vector<std::string> kinds(const std::vector<std::string>& replies) {
    std::vector<std::string> out;
    for (const auto& reply : replies) {
        out.push_back(kindOf(reply));
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& said) {
    std::vector<std::string> lines;
    std::istringstream in(said);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

TEST(FakeGrbl, AnswersAsTheRecordedGrblDid) {
    for (const char* name : {"start", "jog", "cancel", "errors", "softlimit", "hold"}) {
        SCOPED_TRACE(name);
        const Recording run = readRecording(name);
        ASSERT_FALSE(run.sent.empty());
        const LinkTime start(std::chrono::hours(1));
        const auto at = [&](double seconds) {
            return start + std::chrono::duration_cast<LinkTime::duration>(
                               std::chrono::duration<double>(seconds));
        };
        FakeGrbl grbl(FakeGrblMachine{}, start);
        std::string said;
        for (const auto& [seconds, bytes] : run.sent) {
            said += grbl.runUntil(at(seconds));
            grbl.receive(bytes, at(seconds));
        }
        said += grbl.runUntil(at(run.endTime));
        EXPECT_EQ(kinds(linesOf(said)), kinds(run.received));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(grbl.position()[axis], run.end[axis], 0.05) << "axis " << axis;
        }
    }
}

} // namespace
} // namespace chimex
