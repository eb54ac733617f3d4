// SPDX-License-Identifier: MIT
#pragma once

#include "platform/machine_link.h"

namespace chimex {

/// Serial ports through Qt's serial port module, TCP through Qt's network module. The links block
/// in their own calls, so they need no event loop; a QCoreApplication keeps Qt from warning.
class QtMachineLinks : public MachineLinks {
  public:
    std::unique_ptr<MachineLink> open(const LinkEndpoint& endpoint) override;
};

} // namespace chimex
