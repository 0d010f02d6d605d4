#include "platform/portable/PortableEventLoop.h"

#include <asio/post.hpp>

#include <vector>

#include "platform/Error.h"
#include "platform/portable/PortableTcpSocket.h"
#ifdef __linux__
#include "platform/portable/InotifyFolderWatch.h"
#elif defined(_WIN32)
#include "platform/portable/WindowsFolderWatch.h"
#endif

namespace dwl::portable {

// A handle on one entry of the loop's schedule.
class PortableTimer : public PeriodicTimer {
 public:
  PortableTimer(PortableEventLoop& loop, std::function<void()> onTick)
      : loop_(loop), id_(loop.NewTimerId()), onTick_(std::move(onTick)) {}
  ~PortableTimer() override { loop_.StopTimer(id_); }
  PortableTimer(const PortableTimer&) = delete;
  PortableTimer& operator=(const PortableTimer&) = delete;

  void Start(std::chrono::milliseconds period) override {
    if (period.count() <= 0) {
      throw Error(errc::kInvalidCall, "PeriodicTimer.Start",
                  "A timer period must be greater than 0");
    }
    loop_.StartTimer(id_, onTick_, period);
  }
  void Stop() override { loop_.StopTimer(id_); }
  bool Running() const override { return loop_.TimerRunning(id_); }

 private:
  PortableEventLoop& loop_;
  std::uint64_t id_;
  std::function<void()> onTick_;
};

PortableEventLoop::PortableEventLoop(CodePage& codePage, TimeSource now)
    : codePage_(codePage),
      now_(now ? std::move(now) : TimeSource([] { return std::chrono::steady_clock::now(); })),
      keepRunning_(context_.get_executor()),
      wake_(context_) {}

PortableEventLoop::~PortableEventLoop() = default;

std::unique_ptr<PeriodicTimer> PortableEventLoop::NewTimer(std::function<void()> onTick) {
  return std::make_unique<PortableTimer>(*this, std::move(onTick));
}

std::unique_ptr<TcpSocket> PortableEventLoop::NewTcpSocket() {
  return std::make_unique<PortableTcpSocket>(context_, codePage_);
}

std::unique_ptr<FolderWatch> PortableEventLoop::WatchFolder(const std::string& folder,
                                                            std::function<void()> onChange) {
#ifdef __linux__
  return InotifyFolderWatch::Watch(context_, folder, std::move(onChange));
#elif defined(_WIN32)
  return WindowsFolderWatch::Watch(context_, folder, std::move(onChange));
#else
  (void)folder;
  (void)onChange;
  return nullptr;
#endif
}

void PortableEventLoop::Run() {
  context_.restart();
  context_.run();
}

std::size_t PortableEventLoop::Poll() {
  context_.restart();
  return context_.poll();
}

bool PortableEventLoop::RunUntil(const std::function<bool()>& done,
                                 std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  context_.restart();
  while (!done()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    // Waiting costs more than a handler that is ready: try that first.
    if (context_.poll_one() == 0) context_.run_one_for(left);
    if (context_.stopped()) context_.restart();
  }
  return true;
}

void PortableEventLoop::Stop() { context_.stop(); }

PortableEventLoop::TimePoint PortableEventLoop::Now() const { return now_(); }

void PortableEventLoop::TimeMoved() {
  asio::post(context_, [this] { HandleWake(); });
}

void PortableEventLoop::StartTimer(std::uint64_t id, const std::function<void()>& onTick,
                                   std::chrono::milliseconds period) {
  const TimePoint due = Now() + period;
  scheduled_[id] = Scheduled{onTick, period, due};
  // A later due time (a restart) needs no new wake-up: an early one finds
  // nothing due and sleeps again.
  if (!wakeAt_ || due < *wakeAt_) WakeAt(due);
}

void PortableEventLoop::WakeAt(TimePoint when) {
  wakeAt_ = when;
  const auto wait = when - Now();
  wake_.expires_after(wait.count() > 0 ? wait : TimePoint::duration::zero());
  wake_.async_wait([this](const std::error_code& error) {
    if (error != asio::error::operation_aborted) HandleWake();
  });
}

void PortableEventLoop::HandleWake() {
  wakeAt_.reset();
  const TimePoint now = Now();
  std::vector<std::uint64_t> due;
  for (const auto& [id, entry] : scheduled_) {
    if (entry.due <= now) due.push_back(id);
  }
  for (const std::uint64_t id : due) {
    // An earlier tick handler may have stopped, restarted or destroyed it.
    const auto found = scheduled_.find(id);
    if (found == scheduled_.end() || found->second.due > now) continue;
    // Like a system timer, a late timer ticks once and goes on a full period
    // from now: no burst of ticks after a stall.
    found->second.due = now + found->second.period;
    const std::function<void()> onTick = found->second.onTick;  // the handler may end the entry
    onTick();
  }
  std::optional<TimePoint> earliest;
  for (const auto& [id, entry] : scheduled_) {
    if (!earliest || entry.due < *earliest) earliest = entry.due;
  }
  // A handler that started a timer may have set a wake-up already.
  if (earliest && (!wakeAt_ || *earliest < *wakeAt_)) WakeAt(*earliest);
}

}  // namespace dwl::portable
