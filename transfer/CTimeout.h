// A timer object that raises TimeOut every TimeOutValue seconds while it
// runs, on the owner's event loop (ThePlatform().eventLoop). The first
// StartTimer registers its timer; later starts and Reset restart it from the
// full period, and StopTimer keeps the registration for the next start.
// Each object has a timer of its own, so objects may come and go in any order.
// Single-threaded; a TimeOut handler may stop or restart the timer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/PeriodicTimer.h"

namespace dwl {

class CTimeout {
 public:
  // Error numbers of the timer support.
  static constexpr long kCannotCreateTimerWindow = 17001;
  static constexpr long kCannotCreateTimer = 17002;

  // Throws kCannotCreateTimerWindow when there is no event loop to tick on.
  CTimeout();
  ~CTimeout();
  CTimeout(const CTimeout&) = delete;
  CTimeout& operator=(const CTimeout&) = delete;

  // The period in seconds; a running timer keeps its old period until the
  // next StartTimer or Reset.
  std::int32_t TimeOutValue() const { return timeOutValue_; }
  void TimeOutValue(std::int32_t seconds) { timeOutValue_ = seconds; }

  // Nothing happens while TimeOutValue is 0 or less. The first start throws
  // kCannotCreateTimer when the system has no timer, and errc::kOverflow for
  // a period beyond 2^31 - 1 milliseconds; a failing restart is ignored.
  void StartTimer();
  void StopTimer();
  // Restarts a registered timer from the full period, running or stopped.
  void Reset();
  void RaiseTimeOut();

  // The TimeOut event's handler.
  std::function<void()> TimeOut;

 private:
  std::int32_t timeOutValue_ = 0;
  std::unique_ptr<PeriodicTimer> timer_;  // null until the first start
};

}  // namespace dwl
