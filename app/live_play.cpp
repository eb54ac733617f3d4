// SPDX-License-Identifier: MIT
#include "live_play.h"

#include "core/note_capture.h"
#include "link/grbl_jogger.h"

namespace chimex {
namespace {

constexpr const char* caption = "Chimex";
/// How long the machine may take to answer the checks before the window opens.
constexpr std::chrono::seconds startLimit{5};

std::unique_ptr<LiveJogger> joggerFor(const LinkAddress& address, MachineLink& link) {
    return std::make_unique<GrblJogger>(link, endpointName(address.endpoint));
}

/// A note's speed on X, Y and Z; 0 keeps it off an axis, as the note planner keeps notes off Z.
std::array<double, 3> noteSpeeds(const ProgramState& state, int keyIndex) {
    const NoteSpeeds speeds = keySpeeds(state, keyIndex);
    const bool z = state.MaxZSpeed > 0 && speeds.z <= state.MaxZSpeed;
    return {speeds.xy, speeds.y.value_or(speeds.xy), z ? speeds.z : 0.0};
}

} // namespace

std::string liveRefusal(const LinkAddress& address) {
    switch (address.controller) {
    case GcodeDialect::Grbl:
        return {};
    case GcodeDialect::LinuxCnc:
        return "Live play on LinuxCNC is not in this version yet: the program plays offline. "
               "Render the tune to G-code with chimex-cli and run it on the machine instead.";
    default:
        return std::string(dialectName(address.controller)) +
               " cannot stop a move at once without losing its position: live play needs GRBL "
               "or LinuxCNC. The program plays offline.";
    }
}

std::unique_ptr<LivePlay> LivePlay::start(const LinkAddress& address, MachineLinks& links,
                                          const ProgramState& state, Dialogs& dialogs) {
    if (const std::string refusal = liveRefusal(address); !refusal.empty()) {
        dialogs.messageBox(refusal, caption, MessageStyle::Ok);
        return nullptr;
    }
    try {
        auto link = links.open(address.endpoint);
        auto jogger = joggerFor(address, *link);
        jogger->start({state.MaxX, state.MaxY, state.MaxZ}, link->now() + startLimit);
        return std::unique_ptr<LivePlay>(
            new LivePlay(std::move(link), std::move(jogger), state, dialogs));
    } catch (const Failure& failure) {
        dialogs.messageBox(std::string(failure.what()) +
                               "\n\nThe program plays offline: the tune file is written as "
                               "always, and the machine does not move.",
                           caption, MessageStyle::Ok);
        return nullptr;
    }
}

LivePlay::LivePlay(std::unique_ptr<MachineLink> link, std::unique_ptr<LiveJogger> jogger,
                   const ProgramState& state, Dialogs& dialogs)
    : link_(std::move(link)), jogger_(std::move(jogger)), state_(state), dialogs_(dialogs) {
    connect(&timer_, &QTimer::timeout, this, &LivePlay::tick);
    timer_.start(tickMilliseconds);
}

LivePlay::~LivePlay() {
    stop();
}

void LivePlay::noteOn(int keyIndex) {
    const auto choice =
        chooseJog(jogger_->axes(), jogger_->position(), noteSpeeds(state_, keyIndex));
    if (!choice) {
        lastNews_ = "no axis has room for this note at its speed";
        showStatus();
        return;
    }
    lastNews_.clear();
    tell(jogger_->press(*choice));
}

void LivePlay::noteOff() {
    tell(jogger_->release());
}

void LivePlay::stop() {
    jogger_->stop();
    timer_.stop();
}

void LivePlay::tick() {
    tell(jogger_->tick());
}

void LivePlay::tell(const JogNews& news) {
    if (news.kind == JogNews::NoteEnded) {
        lastNews_ = news.message;
    } else if (news.kind == JogNews::Offline) {
        timer_.stop();
        lastNews_.clear();
        // Shown once the key handler that may have brought it has returned and its note is
        // written.
        QMetaObject::invokeMethod(
            this,
            [this, message = news.message] {
                dialogs_.messageBox(message, caption, MessageStyle::Critical);
            },
            Qt::QueuedConnection);
    }
    showStatus();
}

std::string LivePlay::statusText() const {
    return jogger_->statusText() + (lastNews_.empty() ? "" : " - " + lastNews_);
}

void LivePlay::showStatus() {
    const QString text = QString::fromStdString(statusText());
    if (text != shown_) {
        shown_ = text;
        emit statusChanged(text);
    }
}

} // namespace chimex
