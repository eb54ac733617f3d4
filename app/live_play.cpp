// SPDX-License-Identifier: MIT
#include "live_play.h"

#include "core/note_capture.h"
#include "link/grbl_jogger.h"
#include "link/linuxcnc_jogger.h"

namespace chimex {
namespace {

constexpr const char* caption = "Chimex";
/// How long the machine may take to answer the checks before the window opens.
constexpr std::chrono::seconds startLimit{5};

/// LinuxCNC's INI: linuxcncrsh cannot tell the travel, so live play needs it given.
MachineSettings linuxcncIni(const std::optional<std::filesystem::path>& machineFile) {
    if (!machineFile) {
        throw LiveRefusal("Live play on LinuxCNC needs the machine's INI as well, for its travel "
                          "(linuxcncrsh cannot tell it): give it as a second --machine, as in "
                          "chimex --machine linuxcnc:localhost --machine /path/to/machine.ini");
    }
    MachineSettings ini = readMachineFile(*machineFile);
    if (ini.controller != GcodeDialect::LinuxCnc) {
        throw LiveRefusal("--machine " + machineFile->string() + " is " +
                          std::string(dialectName(ini.controller)) +
                          "'s settings, not a LinuxCNC INI: give the INI LinuxCNC runs with.");
    }
    return ini;
}

/// `ini`: LinuxCNC's, read before the link is opened.
std::unique_ptr<LiveJogger> joggerFor(const LinkAddress& address, MachineLink& link,
                                      const std::optional<MachineSettings>& ini) {
    const std::string name = endpointName(address.endpoint);
    if (address.controller == GcodeDialect::LinuxCnc) {
        return std::make_unique<LinuxcncJogger>(link, name, *ini);
    }
    return std::make_unique<GrblJogger>(link, name);
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
    case GcodeDialect::LinuxCnc:
        return {};
    default:
        return std::string(dialectName(address.controller)) +
               " cannot stop a move at once without losing its position: live play needs GRBL "
               "or LinuxCNC. The program plays offline.";
    }
}

std::unique_ptr<LivePlay> LivePlay::start(const LinkAddress& address, MachineLinks& links,
                                          const ProgramState& state, Dialogs& dialogs,
                                          const std::optional<std::filesystem::path>& machineFile) {
    if (const std::string refusal = liveRefusal(address); !refusal.empty()) {
        dialogs.messageBox(refusal, caption, MessageStyle::Ok);
        return nullptr;
    }
    try {
        std::optional<MachineSettings> ini;
        if (address.controller == GcodeDialect::LinuxCnc) {
            ini = linuxcncIni(machineFile);
        }
        auto link = links.open(address.endpoint);
        auto jogger = joggerFor(address, *link, ini);
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
