// SPDX-License-Identifier: MIT
#pragma once

#include "platform/machine_link.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace chimex {

/// The other end of a fake link: a simulated controller, run on the link's simulated time.
class LinkPeer {
  public:
    virtual ~LinkPeer() = default;
    /// Takes the bytes written at `time`.
    virtual void receive(std::string_view bytes, LinkTime time) = 0;
    /// Runs on to `time`; returns what it said on the way.
    virtual std::string runUntil(LinkTime time) = 0;
    /// When it may next say something of its own accord; nothing while it only waits for bytes.
    virtual std::optional<LinkTime> nextChange() const = 0;
};

/// A scriptable link on simulated time: a read waits no real time. Bytes written go to `peer`,
/// whose words the reads return; without a peer each read returns the next of `replies`. Told to,
/// it is lost after so many bytes, or falls silent so that every read runs to its deadline.
class FakeMachineLink : public MachineLink {
  public:
    LinkPeer* peer = nullptr;
    std::deque<std::string> replies;
    std::optional<std::size_t> cutAfterBytes; ///< lost once more than this was written
    bool silent = false;

    std::string written; ///< everything written, in order
    bool lost = false;
    LinkTime time = LinkTime(std::chrono::hours(1));

    void write(std::string_view bytes) override;
    std::string read(LinkTime deadline) override;
    LinkTime now() override { return time; }

  private:
    std::string runPeer(LinkTime deadline);
    void throwIfLost() const;
};

/// Opens its one FakeMachineLink, or refuses to.
class FakeMachineLinks : public MachineLinks {
  public:
    FakeMachineLink link;
    std::optional<std::string> refusal; ///< the reason open() gives for failing
    std::vector<std::string> opened;    ///< the endpoints opened, by name
    int closes = 0;

    std::unique_ptr<MachineLink> open(const LinkEndpoint& endpoint) override;
};

} // namespace chimex
