// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// Takes the first whole line out of the bytes `received` so far, without its LF or CR LF;
/// nothing while no line is whole.
inline std::optional<std::string> takeReceivedLine(std::string& received) {
    const auto end = received.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = received.substr(0, end);
    received.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

/// While it lives, the lines a session collects (the answer to a request) go into `lines`.
class CollectingLines {
  public:
    CollectingLines(std::vector<std::string>*& slot, std::vector<std::string>& lines)
        : slot_(slot) {
        slot_ = &lines;
    }
    ~CollectingLines() { slot_ = nullptr; }
    CollectingLines(const CollectingLines&) = delete;
    CollectingLines& operator=(const CollectingLines&) = delete;

  private:
    std::vector<std::string>*& slot_;
};

} // namespace chimex
