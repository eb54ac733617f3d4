// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace chimex {

/// Turns SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C) into a call of `end` from
/// the event loop, so that the program finishes the tune file as a close of the window does. The
/// signal handler only writes a byte to a pipe; all the work runs outside it. One per process.
class EndingSignals : public QObject {
  public:
    explicit EndingSignals(std::function<void()> end);
    ~EndingSignals() override;

  private:
    std::function<void()> end_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace chimex
