// A PeriodicTimer on an io_context and the steady clock, for the reference
// server when it is given no event loop to take its timers from (dwl server
// runs on a bare io_context). Its ticks come on the context's thread; a tick
// may stop, restart or destroy the timer. It must go before its context.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/PeriodicTimer.h"

namespace dwl::server {

class SteadyTimer : public PeriodicTimer {
 public:
  SteadyTimer(asio::io_context& context, std::function<void()> onTick);
  ~SteadyTimer() override;
  SteadyTimer(const SteadyTimer&) = delete;
  SteadyTimer& operator=(const SteadyTimer&) = delete;

  void Start(std::chrono::milliseconds period) override;
  void Stop() override;
  bool Running() const override { return state_->running; }

 private:
  // Shared with the wait in progress, which may end after the timer: it finds
  // the state gone, or a newer start, and does nothing.
  struct State {
    explicit State(asio::io_context& context) : timer(context) {}
    asio::steady_timer timer;
    std::function<void()> onTick;
    std::chrono::milliseconds period{0};
    std::uint64_t start = 0;  // counts the starts and stops
    bool running = false;
  };
  static void Wait(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
};

}  // namespace dwl::server
