// SPDX-License-Identifier: MIT
#pragma once

#include "core/program_state.h"
#include "link/link_address.h"
#include "link/live_jogger.h"
#include "platform/dialogs.h"

#include <QObject>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>

namespace chimex {

/// Live play from the keyboard window: while a note's key is held the machine jogs at the note's
/// speed, and stops when it is released.
///
/// The link is served on the GUI thread by a QTimer every 10 ms, each tick reading for 1 ms at
/// most; a press and a release write their jog and jog cancel at once from the key's own event,
/// so nothing waits for another thread, and the link is used from one thread as it must be.
class LivePlay : public QObject {
    Q_OBJECT

  public:
    /// Opens `address` and checks that the machine can be played live. When it cannot, a message
    /// box says why and how to fix it, and nothing is returned: the program plays offline.
    /// `machineFile` holds what the link cannot tell: LinuxCNC's INI, its travel and speeds.
    static std::unique_ptr<LivePlay>
    start(const LinkAddress& address, MachineLinks& links, const ProgramState& state,
          Dialogs& dialogs, const std::optional<std::filesystem::path>& machineFile = {});
    ~LivePlay() override;

    /// Key `keyIndex` is pressed: the machine jogs at its speed, where there is most room.
    void noteOn(int keyIndex);
    /// The key is released: the machine stops at once.
    void noteOff();
    /// Stops the machine and plays it no more (the window closes).
    void stop();
    /// "GRBL on /dev/ttyUSB0: Idle", with what ended the last note.
    std::string statusText() const;

    static constexpr int tickMilliseconds = 10;

  signals:
    void statusChanged(const QString& text);

  private:
    LivePlay(std::unique_ptr<MachineLink> link, std::unique_ptr<LiveJogger> jogger,
             const ProgramState& state, Dialogs& dialogs);
    void tick();
    void tell(const JogNews& news);
    void showStatus();

    std::unique_ptr<MachineLink> link_;
    std::unique_ptr<LiveJogger> jogger_;
    const ProgramState& state_;
    Dialogs& dialogs_;
    QTimer timer_;
    std::string lastNews_;
    QString shown_;
};

/// Why `address` cannot be played live by this program, by the controller's name; empty when
/// it can.
std::string liveRefusal(const LinkAddress& address);

} // namespace chimex
