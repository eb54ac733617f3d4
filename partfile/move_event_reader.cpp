// SPDX-License-Identifier: MIT
#include "move_event_reader.h"

#include "files/failure.h"

#include <cctype>
#include <string>

namespace chimex {

void NoteTally::add(const MoveEvent& move) {
    if (move.kind != MoveEventKind::Move) {
        return;
    }
    notes_ += move.singleAxis ? 1 : 0;
    if (move.alongPath && move.line != chordLine_) {
        ++chords_;
        chordLine_ = move.line;
    }
}

std::string NoteTally::text() const {
    return std::to_string(notes_) + " notes" +
           (chords_ > 0 ? ", " + std::to_string(chords_) + " chords" : "");
}

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 60)) {
        out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return "\"" + out + (text.size() > 60 ? "...\"" : "\"");
}

MoveEventReader::MoveEventReader(std::istream& in, IssueHandler onIssue, bool crEndsLine)
    : lines_(in, crEndsLine), onIssue_(std::move(onIssue)) {}

std::optional<MoveEvent> MoveEventReader::next() {
    std::string_view line;
    while (pending_.empty() && lines_.next(line)) {
        if (line.find('\0') != std::string_view::npos) {
            throw InputFailure({}, lines_.lineNumber(),
                               "a NUL byte: this is not a text file chimex-cli reads");
        }
        readLine(line);
    }
    if (pending_.empty()) {
        return std::nullopt;
    }
    MoveEvent event = pending_.front();
    pending_.pop_front();
    return event;
}

void MoveEventReader::storeHeaderValue(std::size_t item, std::optional<double> value,
                                       std::string_view line) {
    if (!value) {
        issue("the header value is not a number: " + shown(line));
        return;
    }
    if (header_[item].value) {
        issue("the header states this value twice (first at line " +
              std::to_string(header_[item].line) + ")");
    }
    header_[item] = {value, lines_.lineNumber()};
}

void MoveEventReader::issue(std::string message) {
    onIssue_({lines_.lineNumber(), std::move(message)});
}

} // namespace chimex
