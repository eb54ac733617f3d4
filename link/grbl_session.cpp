// SPDX-License-Identifier: MIT
#include "grbl_session.h"

#include "received_lines.h"

#include <algorithm>
#include <cstdio>

namespace chimex {

namespace {

/// How often start() asks a GRBL that may be running already, rather than starting up.
constexpr std::chrono::milliseconds startQueryEvery{250};

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string byteName(unsigned char byte) {
    if (byte >= 0x20 && byte < 0x7f) {
        return std::string("'") + char(byte) + "'";
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x", byte);
    return "byte " + std::string(hex);
}

} // namespace

GrblSession::GrblSession(MachineLink& link) : link_(link) {}

GrblBuildInfo GrblSession::start(LinkTime deadline) {
    greeting_ = Greeting::Start;
    received_.clear();
    realTime(GrblRealTime::StatusQuery);
    const auto greeted = [this] {
        return greeting_ == Greeting::None;
    };
    while (!pumpUntil(greeted, std::min(deadline, link_.now() + startQueryEvery))) {
        if (link_.now() >= deadline) {
            throw LinkFailure("GRBL did not answer: is GRBL 1.1 at the other end, at the baud "
                              "rate given?");
        }
        realTime(GrblRealTime::StatusQuery);
    }
    const auto info = parseGrblBuildInfo(request("$I", deadline));
    if (!isGrbl11OrLater(info.version)) {
        throw MachineStopped("the controller did not answer $I as GRBL 1.1 does (it gave " +
                             quoted(info.version) + "): this program talks to GRBL 1.1 or later");
    }
    receiveBytes_ = info.receiveBytes;
    return info;
}

std::string GrblSession::checkedWireLine(std::string_view line) const {
    std::string wire = grblWireLine(line);
    for (unsigned char byte : wire) {
        if (byte == '\n' || byte == '\r') {
            throw Failure("the line " + quoted(line) + " holds a line break");
        }
        if (const auto meaning = grblRealTimeMeaning(byte); !meaning.empty()) {
            throw Failure("the line " + quoted(line) + " holds " + byteName(byte) +
                          ", which GRBL takes as " + std::string(meaning));
        }
    }
    if (wire.size() + 1 > std::size_t(receiveBytes_ - 1)) {
        throw Failure("the line " + quoted(line) + " is longer than GRBL's receive buffer of " +
                      std::to_string(receiveBytes_) + " bytes");
    }
    return wire;
}

std::uint64_t GrblSession::send(std::string_view line, LinkTime deadline) {
    std::string wire = checkedWireLine(line);
    const std::size_t bytes = wire.size() + 1;
    // One byte spare: some builds' ring buffer holds one byte less than the size they report.
    const std::size_t room = std::size_t(receiveBytes_ - 1);
    waitUntil([&] { return greeting_ == Greeting::None && bytesUnanswered_ + bytes <= room; },
              deadline, "room in its receive buffer");
    link_.write(wire + "\n");
    unanswered_.push_back({++linesSent_, std::move(wire)});
    bytesUnanswered_ += bytes;
    return linesSent_;
}

std::vector<std::string> GrblSession::request(std::string_view line, LinkTime deadline) {
    drain(deadline);
    std::vector<std::string> lines;
    const CollectingLines collecting(collecting_, lines);
    const auto number = send(line, deadline);
    waitUntil([&] { return linesAnswered() >= number; }, deadline, "the answer to " + quoted(line));
    return lines;
}

void GrblSession::drain(LinkTime deadline) {
    waitUntil([this] { return unanswered_.empty(); }, deadline, "the answers to the lines sent");
}

GrblStatus GrblSession::status(LinkTime deadline) {
    const auto count = statusCount_;
    realTime(GrblRealTime::StatusQuery);
    waitUntil([&] { return statusCount_ > count; }, deadline, "a status report");
    return *lastStatus_;
}

void GrblSession::realTime(GrblRealTime command) {
    link_.write(std::string(1, char(command)));
    if (command == GrblRealTime::StatusQuery) {
        lastAsked_ = link_.now();
    } else if (command == GrblRealTime::SoftReset) {
        dropUnanswered();
        greeting_ = Greeting::Reset;
    }
}

/// GRBL spends half a second saying an alarm, deaf even to a reset: one sent then is lost, so a
/// reset not answered within a second (a reset while moving takes 0.76 s) is sent again.
bool GrblSession::reset(LinkTime deadline) {
    const auto restarted = [this] {
        return greeting_ == Greeting::None;
    };
    for (;;) {
        realTime(GrblRealTime::SoftReset);
        const LinkTime retry = std::min(deadline, link_.now() + std::chrono::seconds(1));
        if (retry >= deadline) {
            waitUntil(restarted, deadline, "its restart");
            break;
        }
        if (pumpUntil(restarted, retry)) {
            break;
        }
    }
    return status(deadline).state == GrblState::Alarm;
}

void GrblSession::listen(LinkTime deadline) {
    pumpUntil([] { return false; }, deadline);
}

void GrblSession::watchStatus(std::chrono::milliseconds every, std::chrono::milliseconds silence) {
    statusEvery_ = every;
    silence_ = silence;
    lastReport_ = link_.now();
    lastAsked_ = LinkTime();
}

std::optional<AxisValues> GrblSession::machinePosition() const {
    if (!lastStatus_ || (lastStatus_->workPosition && !lastOffset_)) {
        return std::nullopt;
    }
    AxisValues position = lastStatus_->position;
    for (std::size_t axis = 0; lastStatus_->workPosition && axis < position.size(); ++axis) {
        position[axis] += (*lastOffset_)[axis];
    }
    return position;
}

void GrblSession::waitUntil(const std::function<bool()>& done, LinkTime deadline,
                            std::string_view what) {
    if (!pumpUntil(done, deadline)) {
        throw LinkFailure("GRBL did not answer in time (waiting for " + std::string(what) + ")");
    }
}

bool GrblSession::pumpUntil(const std::function<bool()>& done, LinkTime deadline) {
    while (!handleReceived(done)) {
        const LinkTime now = link_.now();
        if (statusEvery_.count() > 0 && now - lastReport_ >= silence_) {
            throw LinkFailure("GRBL sent no status report for " + std::to_string(silence_.count()) +
                              " ms");
        }
        if (now >= deadline) {
            return false;
        }
        askStatusIfDue(now);
        received_ += link_.read(readDeadline(deadline));
    }
    return true;
}

bool GrblSession::handleReceived(const std::function<bool()>& done) {
    while (!done()) {
        const auto line = takeReceivedLine(received_);
        if (!line) {
            break;
        }
        handle(*line);
    }
    return done();
}

LinkTime GrblSession::readDeadline(LinkTime deadline) {
    if (statusEvery_.count() == 0) {
        return deadline;
    }
    return std::min({deadline, lastAsked_ + statusEvery_, lastReport_ + silence_});
}

void GrblSession::askStatusIfDue(LinkTime now) {
    if (statusEvery_.count() > 0 && now - lastAsked_ >= statusEvery_) {
        realTime(GrblRealTime::StatusQuery);
    }
}

void GrblSession::handle(std::string_view line) {
    const GrblReply reply = classifyGrblReply(line);
    if (greeting_ != Greeting::None) {
        handleGreeting(reply);
        return;
    }
    switch (reply.kind) {
    case GrblReplyKind::Ok:
    case GrblReplyKind::Error:
        answer(reply);
        return;
    case GrblReplyKind::Alarm: {
        dropUnanswered();
        MachineStopped alarm("GRBL raised an alarm: " + grblAlarmWords(reply.code));
        alarm.code = std::string(line);
        alarm.alarm = true;
        throw alarm;
    }
    case GrblReplyKind::Status:
        takeStatus(line);
        return;
    case GrblReplyKind::Welcome:
        dropUnanswered();
        throw MachineStopped("GRBL restarted (its reset button, a power dip or another program): "
                             "it dropped the lines it held");
    case GrblReplyKind::Message:
        if (onMessage) {
            onMessage(reply.text);
        }
        [[fallthrough]];
    case GrblReplyKind::Feedback:
    case GrblReplyKind::Setting:
        if (collecting_) {
            collecting_->emplace_back(line);
        }
        return;
    case GrblReplyKind::StartupLine:
    case GrblReplyKind::Blank:
        return;
    case GrblReplyKind::Unknown:
        break;
    }
    throw MachineStopped("GRBL said " + quoted(line) + ", which this program does not understand");
}

/// While GRBL starts up, what comes before its welcome is passed over: the answers to lines a
/// reset dropped, the alarm of a reset while moving, the noise of a board starting.
void GrblSession::handleGreeting(const GrblReply& reply) {
    if (reply.kind == GrblReplyKind::Welcome ||
        (greeting_ == Greeting::Start && reply.kind == GrblReplyKind::Status)) {
        greeting_ = Greeting::None;
        if (reply.kind == GrblReplyKind::Status) {
            takeStatus(reply.text);
        }
    } else if (reply.kind == GrblReplyKind::Message && onMessage) {
        onMessage(reply.text);
    }
}

/// GRBL has thrown away every line it held: none of them will be answered.
void GrblSession::dropUnanswered() {
    unanswered_.clear();
    bytesUnanswered_ = 0;
}

void GrblSession::answer(const GrblReply& reply) {
    if (unanswered_.empty()) {
        throw MachineStopped("GRBL answered " + quoted(reply.text) + " to a line it was not sent");
    }
    SentLine sent = std::move(unanswered_.front());
    unanswered_.pop_front();
    bytesUnanswered_ -= sent.text.size() + 1;
    if (reply.kind == GrblReplyKind::Error) {
        MachineStopped refusal("GRBL refused " + quoted(sent.text) + ": " +
                               grblErrorWords(reply.code));
        refusal.sentLine = sent.number;
        refusal.line = std::move(sent.text);
        refusal.code = std::string(reply.text);
        throw refusal;
    }
}

void GrblSession::takeStatus(std::string_view line) {
    auto status = parseGrblStatus(line);
    if (!status) {
        throw MachineStopped("GRBL sent a status report this program cannot read: " + quoted(line));
    }
    if (status->offset) {
        lastOffset_ = status->offset;
    }
    lastStatus_ = std::move(status);
    ++statusCount_;
    lastReport_ = link_.now();
    if (onStatus) {
        onStatus(*lastStatus_);
    }
}

} // namespace chimex
