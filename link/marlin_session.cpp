// SPDX-License-Identifier: MIT
#include "marlin_session.h"

#include "received_lines.h"

#include <algorithm>
#include <charconv>

namespace chimex {

namespace {

/// Marlin's line buffer (MAX_CMD_SIZE) holds 96 characters, its end among them.
constexpr std::size_t longestWireLine = 94;

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<std::uint64_t> numberAfter(std::string_view line, std::size_t at) {
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(line.data() + at, line.data() + line.size(), number);
    if (error != std::errc() || end == line.data() + at) {
        return std::nullopt;
    }
    return number;
}

/// `Resend: 12` or `rs 12`: the number Marlin wants again from.
std::optional<std::uint64_t> resendNumber(std::string_view line) {
    if (line.starts_with("Resend:")) {
        return numberAfter(line, 7);
    }
    if (line.starts_with("rs ")) {
        return numberAfter(line, 3);
    }
    return std::nullopt;
}

/// An ADVANCED_OK word's number: `N12`, `P15` in `ok N12 P15 B3`.
std::optional<std::uint64_t> okWord(std::string_view line, char letter) {
    const auto at = line.find(std::string(" ") + letter);
    return at == std::string_view::npos ? std::nullopt : numberAfter(line, at + 2);
}

std::optional<MarlinBusy> busyKind(std::string_view line) {
    if (!line.starts_with("echo:busy:")) {
        return std::nullopt;
    }
    if (line.find("paused for user") != std::string_view::npos) {
        return MarlinBusy::PausedForUser;
    }
    if (line.find("paused for input") != std::string_view::npos) {
        return MarlinBusy::PausedForInput;
    }
    return MarlinBusy::Processing;
}

/// `Error:checksum mismatch, Last Line: 11`: a line damaged or out of order on its way, which
/// the `Resend:` after it asks for again.
bool isTransmissionError(std::string_view line) {
    return line.starts_with("Error:") && line.find("Last Line") != std::string_view::npos;
}

/// The command's code: `G1` of `G1 X2 F600`.
std::string_view codeOf(std::string_view command) {
    return command.substr(0, command.find(' '));
}

bool isMove(std::string_view command) {
    const auto code = codeOf(command);
    return code == "G0" || code == "G1" || code == "G2" || code == "G3";
}

/// Marlin runs these only once every planned move has ended.
bool waitsForMoves(std::string_view command) {
    const auto code = codeOf(command);
    return code == "G4" || code == "M0" || code == "M1" || code == "M400" || code == "G28";
}

} // namespace

std::string_view marlinCommand(std::string_view line) {
    return trimmed(line.substr(0, line.find(';')));
}

std::uint8_t marlinChecksum(std::string_view bytes) {
    std::uint8_t sum = 0;
    for (const char byte : bytes) {
        sum ^= std::uint8_t(byte);
    }
    return sum;
}

std::string marlinNumberedLine(std::uint64_t number, std::string_view line) {
    std::string wire = "N" + std::to_string(number) + " " + std::string(line);
    return wire + "*" + std::to_string(marlinChecksum(wire));
}

MarlinSession::MarlinSession(MachineLink& link, std::size_t window)
    : link_(link), window_(std::max<std::size_t>(window, 1)) {}

void MarlinSession::start(LinkTime deadline) {
    starting_ = true;
    received_.clear();
    unanswered_.clear();
    program_ = {"M110 N0"};
    transmitted_ = answered_ = 0;
    abandoned_ = false;
    transmit(0);
    if (!pumpUntil([this] { return unanswered_.empty(); }, deadline)) {
        throw LinkFailure("Marlin did not answer M110: is Marlin at the other end, at the baud "
                          "rate given?");
    }
    starting_ = false;
}

std::uint64_t MarlinSession::send(std::string_view line, LinkTime deadline) {
    const std::string_view command = marlinCommand(line);
    for (const unsigned char byte : command) {
        if (byte == '*' || byte < 0x20 || byte > 0x7e) {
            throw Failure("the line " + quoted(line) +
                          " holds a byte Marlin cannot take in a numbered line");
        }
    }
    if (command.empty()) {
        throw Failure("an empty line has nothing to send to Marlin");
    }
    const std::uint64_t number = program_.size();
    if (marlinNumberedLine(number, command).size() > longestWireLine) {
        throw Failure("the line " + quoted(line) + " is longer than Marlin's line buffer");
    }
    program_.emplace_back(command);
    waitUntil([&] { return transmitted_ >= number; }, deadline, "room for more lines");
    return number;
}

std::vector<std::string> MarlinSession::request(std::string_view line, LinkTime deadline) {
    drain(deadline);
    std::vector<std::string> lines;
    const CollectingLines collecting(collecting_, lines);
    send(line, deadline);
    drain(deadline);
    return lines;
}

void MarlinSession::drain(LinkTime deadline) {
    waitUntil([this] { return transmitted_ + 1 == program_.size() && unanswered_.empty(); },
              deadline, "the answers to the lines sent");
}

void MarlinSession::sendNow(std::string_view command) {
    link_.write(std::string(command) + "\n");
    unanswered_.emplace_back();
}

void MarlinSession::abandon() {
    program_.resize(transmitted_ + 1);
    abandoned_ = true;
}

void MarlinSession::listen(LinkTime deadline) {
    pumpUntil([] { return false; }, deadline);
}

bool MarlinSession::movesUnanswered() const {
    return std::any_of(unanswered_.begin(), unanswered_.end(), [this](const Awaited& awaited) {
        return awaited && isMove(program_[*awaited]);
    });
}

int MarlinSession::plannerMovesHeld(int plannerMoves) const {
    if (plannerFree_ >= 0) {
        return plannerMostFree_ - plannerFree_;
    }
    int held = 0;
    for (auto number = answered_; number > 0 && held < plannerMoves; --number) {
        if (waitsForMoves(program_[number])) {
            break;
        }
        held += isMove(program_[number]);
    }
    return held;
}

void MarlinSession::transmit(std::uint64_t number) {
    link_.write(marlinNumberedLine(number, program_[number]) + "\n");
    unanswered_.emplace_back(number);
    transmitted_ = number;
}

void MarlinSession::transmitDue() {
    if (link_.now() < resendAfter_) {
        return;
    }
    while (!starting_ && !abandoned_ && transmitted_ + 1 < program_.size() &&
           unanswered_.size() < window_) {
        transmit(transmitted_ + 1);
    }
}

void MarlinSession::waitUntil(const std::function<bool()>& done, LinkTime deadline,
                              std::string_view what) {
    if (!pumpUntil(done, deadline)) {
        throw LinkFailure("Marlin did not answer in time (waiting for " + std::string(what) + ")");
    }
}

bool MarlinSession::pumpUntil(const std::function<bool()>& done, LinkTime deadline) {
    for (transmitDue(); !handleReceived(done); transmitDue()) {
        const LinkTime now = link_.now();
        const LinkTime until = std::max(deadline, busyUntil_);
        if (now >= until) {
            return false;
        }
        if (onWait) {
            onWait();
        }
        received_ += link_.read(resendAfter_ > now ? std::min(until, resendAfter_) : until);
    }
    return true;
}

bool MarlinSession::handleReceived(const std::function<bool()>& done) {
    while (!done()) {
        const auto line = takeReceivedLine(received_);
        if (!line) {
            break;
        }
        handle(*line);
        transmitDue();
    }
    return done();
}

void MarlinSession::handle(std::string_view line) {
    if (line.starts_with("ok")) {
        answer(line);
    } else if (resendNumber(line)) {
        askResend(line);
    } else if (const auto kind = busyKind(line)) {
        busy(*kind);
    } else if (line == "start" && starting_) {
        // The board restarted as the port opened: what was sent before went to its boot loader.
        unanswered_.clear();
        transmit(0);
    } else if (line == "start" || line.starts_with("!!") || line.starts_with("echo:Unknown") ||
               line.starts_with("echo:endstops hit") ||
               (line.starts_with("Error:") && !isTransmissionError(line))) {
        stopped(line);
    } else if (collecting_ && !isTransmissionError(line)) {
        collecting_->emplace_back(line);
    }
}

void MarlinSession::answer(std::string_view line) {
    pausedForUser_ = false;
    busyUntil_ = {};
    if (unanswered_.empty()) {
        return; // an old Marlin's `ok` after a resend request, for no line
    }
    const Awaited awaited = unanswered_.front();
    unanswered_.pop_front();
    if (awaited) {
        answered_ = std::max(answered_, *awaited);
    }
    if (const auto free = okWord(line, 'P')) {
        plannerFree_ = int(*free);
        plannerMostFree_ = std::max(plannerMostFree_, plannerFree_);
    }
}

/// Marlin took every line before `from` and none since: those are sent again, in order, once
/// the lines sent after the damaged one have been refused too (each asks for `from` again).
void MarlinSession::askResend(std::string_view line) {
    const std::uint64_t from = *resendNumber(line);
    if (starting_) {
        unanswered_.clear();
        transmit(0);
        return;
    }
    if (from == 0 || from > transmitted_ + 1) {
        throw MachineStopped("Marlin asked for line " + std::to_string(from) +
                             " again, which was never sent: the numbering is lost");
    }
    std::erase_if(unanswered_, [from](const Awaited& awaited) { return awaited >= from; });
    transmitted_ = std::min(transmitted_, from - 1);
    resendAfter_ = link_.now() + resendSettle;
}

void MarlinSession::busy(MarlinBusy kind) {
    busyUntil_ = link_.now() + busyGrace;
    pausedForUser_ = kind == MarlinBusy::PausedForUser;
    if (onBusy) {
        onBusy(kind);
    }
}

void MarlinSession::stopped(std::string_view line) {
    unanswered_.clear();
    transmitted_ = program_.size() - 1;
    if (line == "start") {
        throw MachineStopped("Marlin restarted (its reset button, a power dip or another "
                             "program): it dropped the lines it held and lost its position");
    }
    if (line.starts_with("echo:Unknown")) {
        const auto quote = line.find('"');
        MachineStopped refusal("Marlin does not know the command " +
                               std::string(quote == line.npos ? line : line.substr(quote)) +
                               ": the program stops there");
        refusal.code = std::string(line);
        throw refusal;
    }
    if (line.starts_with("echo:endstops hit")) {
        MachineStopped hit("Marlin stopped at an endstop (it said " + quoted(line.substr(5)) +
                           "): home the machine again");
        hit.code = std::string(line);
        hit.alarm = true;
        throw hit;
    }
    if (line.find("kill()") != std::string_view::npos) {
        MachineStopped killed("Marlin halted (killed): it must be reset, its reset button or a "
                              "power cycle, and homed again");
        killed.code = std::string(line);
        killed.alarm = true;
        throw killed;
    }
    MachineStopped error("Marlin stopped with an error: " +
                         std::string(line.substr(line.starts_with("Error:") ? 6 : 0)));
    error.code = std::string(line);
    error.alarm = true;
    throw error;
}

} // namespace chimex
