// SPDX-License-Identifier: MIT
#pragma once

#include "platform/machine_link.h"

#include <memory>

class QCoreApplication;

namespace chimex {

/// Serial ports through Qt's serial port module, TCP through Qt's network module. The links block
/// in their own calls, so they need no event loop; a QCoreApplication keeps Qt from warning, and
/// one is made for a program that has none (chimex-cli), living as long as this object.
class QtMachineLinks : public MachineLinks {
  public:
    QtMachineLinks();
    ~QtMachineLinks() override;
    std::unique_ptr<MachineLink> open(const LinkEndpoint& endpoint) override;

  private:
    std::unique_ptr<QCoreApplication> application_;
};

} // namespace chimex
