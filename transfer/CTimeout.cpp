#include "transfer/CTimeout.h"

#include <limits>

#include "platform/Error.h"
#include "platform/Platform.h"

namespace dwl {

namespace {

// The period in milliseconds, when it fits the 32 bits a system timer takes.
bool PeriodOf(std::int32_t seconds, std::chrono::milliseconds& period) {
  const std::int64_t milliseconds = static_cast<std::int64_t>(seconds) * 1000;
  if (milliseconds > std::numeric_limits<std::int32_t>::max()) return false;
  period = std::chrono::milliseconds(milliseconds);
  return true;
}

EventLoop& TimerLoop() {
  EventLoop* loop = ThePlatform().eventLoop;
  if (loop == nullptr) {
    throw Error(CTimeout::kCannotCreateTimerWindow, "MTimeOutSupport.CreateTimer",
                "Cannot create the timer window.");
  }
  return *loop;
}

}  // namespace

CTimeout::CTimeout() { TimerLoop(); }

CTimeout::~CTimeout() = default;

void CTimeout::StartTimer() {
  if (timeOutValue_ <= 0) return;
  if (timer_) {
    Reset();
    return;
  }
  std::chrono::milliseconds period{};
  if (!PeriodOf(timeOutValue_, period)) {
    throw Error(errc::kOverflow, "MTimeOutSupport.RegisterTimer", "Overflow");
  }
  std::unique_ptr<PeriodicTimer> timer;
  try {
    timer = TimerLoop().NewTimer([this] { RaiseTimeOut(); });
    timer->Start(period);
  } catch (const Error&) {
    throw Error(kCannotCreateTimer, "MTimeOutSupport.RegisterTimer", "Cannot create the timer");
  }
  timer_ = std::move(timer);
}

void CTimeout::StopTimer() {
  if (timer_) timer_->Stop();
}

void CTimeout::Reset() {
  std::chrono::milliseconds period{};
  if (!timer_ || timeOutValue_ <= 0 || !PeriodOf(timeOutValue_, period)) return;
  try {
    timer_->Start(period);
  } catch (const Error&) {
    // The timer stays as it was.
  }
}

void CTimeout::RaiseTimeOut() {
  if (TimeOut) TimeOut();
}

}  // namespace dwl
