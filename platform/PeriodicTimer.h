// A periodic timer of the owner's event loop (see platform/EventLoop.h). Its
// ticks arrive on the loop's thread, one at a time, like every other event;
// a tick handler may stop, restart or destroy the timer that fired.
#pragma once

#include <chrono>

namespace dwl {

class PeriodicTimer {
 public:
  virtual ~PeriodicTimer() = default;
  // Starts the timer, or restarts a running one: the next tick comes a full
  // `period` from now, then one every `period` until Stop. A period of zero
  // or less is refused (dwl::Error).
  virtual void Start(std::chrono::milliseconds period) = 0;
  // No more ticks until the next Start. Stopping a stopped timer does nothing.
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
};

}  // namespace dwl
