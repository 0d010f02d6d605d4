#include "apps/dwl/server/SteadyTimer.h"

#include "platform/Error.h"

namespace dwl::server {

SteadyTimer::SteadyTimer(asio::io_context& context, std::function<void()> onTick)
    : state_(std::make_shared<State>(context)) {
  state_->onTick = std::move(onTick);
}

SteadyTimer::~SteadyTimer() { Stop(); }

void SteadyTimer::Start(std::chrono::milliseconds period) {
  if (period.count() <= 0) {
    throw Error(errc::kInvalidCall, "PeriodicTimer.Start", "A timer period must be greater than 0");
  }
  state_->period = period;
  state_->running = true;
  ++state_->start;
  Wait(state_);
}

void SteadyTimer::Stop() {
  state_->running = false;
  ++state_->start;
  state_->timer.cancel();
}

void SteadyTimer::Wait(const std::shared_ptr<State>& state) {
  state->timer.expires_after(state->period);
  state->timer.async_wait([weak = std::weak_ptr<State>(state), start = state->start](const std::error_code&) {
    // A wait that had already ended when the timer was stopped or restarted
    // still comes here without an error: the count tells.
    const std::shared_ptr<State> alive = weak.lock();
    if (!alive || alive->start != start) return;
    Wait(alive);
    const std::function<void()> onTick = alive->onTick;  // the tick may destroy the timer
    onTick();
  });
}

}  // namespace dwl::server
