// SPDX-License-Identifier: MIT
#include "fake_machine_link.h"

#include <algorithm>

namespace chimex {

namespace {

/// The handle open() returns: the test keeps the link itself, and sees it closed.
class FakeLinkHandle : public MachineLink {
  public:
    explicit FakeLinkHandle(FakeMachineLinks& links) : links_(links) {}
    ~FakeLinkHandle() override { ++links_.closes; }
    void write(std::string_view bytes) override { links_.link.write(bytes); }
    std::string read(LinkTime deadline) override { return links_.link.read(deadline); }
    LinkTime now() override { return links_.link.now(); }

  private:
    FakeMachineLinks& links_;
};

} // namespace

void FakeMachineLink::throwIfLost() const {
    if (lost) {
        throw LinkFailure("the link to the fake controller was lost");
    }
}

void FakeMachineLink::write(std::string_view bytes) {
    throwIfLost();
    std::string_view passed = bytes;
    if (cutAfterBytes) {
        passed = bytes.substr(0, *cutAfterBytes - std::min(*cutAfterBytes, written.size()));
    }
    written += passed;
    if (peer) {
        peer->receive(passed, time);
    }
    lost = passed.size() < bytes.size();
    throwIfLost();
}

std::string FakeMachineLink::read(LinkTime deadline) {
    throwIfLost();
    std::string said;
    if (peer) {
        said = runPeer(deadline);
    } else if (!replies.empty() && !silent) {
        said = std::move(replies.front());
        replies.pop_front();
    }
    if (silent) {
        said.clear();
    }
    if (said.empty()) {
        time = std::max(time, deadline);
    }
    return said;
}

/// Runs the peer from change to change until it says something or the deadline comes.
std::string FakeMachineLink::runPeer(LinkTime deadline) {
    std::string said = peer->runUntil(time);
    while (said.empty() && time < deadline) {
        LinkTime next = peer->nextChange().value_or(deadline);
        time = std::min(std::max(next, time + std::chrono::microseconds(1)), deadline);
        said = peer->runUntil(time);
    }
    return said;
}

std::unique_ptr<MachineLink> FakeMachineLinks::open(const LinkEndpoint& endpoint) {
    if (refusal) {
        throw LinkFailure("cannot open " + endpointName(endpoint) + ": " + *refusal);
    }
    opened.push_back(endpointName(endpoint));
    return std::make_unique<FakeLinkHandle>(*this);
}

} // namespace chimex
