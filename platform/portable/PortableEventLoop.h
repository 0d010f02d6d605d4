// The owner's event loop on standalone Asio: one io_context, run by the
// program's one thread, which delivers socket events and timer ticks.
//
// Timer ticks come from the loop's own schedule of periodic timers, kept
// against a time source. Programs use the steady clock; a test passes a time
// source it moves by hand and calls TimeMoved, so that a 20-second time-out
// is tested without waiting 20 seconds. One Asio timer wakes the loop when
// the earliest tick is due. The timers and sockets it makes must go before it.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "platform/CodePage.h"
#include "platform/EventLoop.h"

namespace dwl::portable {

class PortableEventLoop : public EventLoop {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using TimeSource = std::function<TimePoint()>;

  // Socket text goes through `codePage`. An empty `now` means the steady clock.
  explicit PortableEventLoop(CodePage& codePage, TimeSource now = {});
  ~PortableEventLoop() override;
  PortableEventLoop(const PortableEventLoop&) = delete;
  PortableEventLoop& operator=(const PortableEventLoop&) = delete;

  std::unique_ptr<PeriodicTimer> NewTimer(std::function<void()> onTick) override;
  std::unique_ptr<TcpSocket> NewTcpSocket() override;
  // inotify on Linux, ReadDirectoryChangesW on Windows; nullptr elsewhere.
  std::unique_ptr<FolderWatch> WatchFolder(const std::string& folder, std::function<void()> onChange) override;

  // For program parts that speak Asio themselves (the reference server).
  asio::io_context& Context() { return context_; }

  // Runs events until Stop.
  void Run();
  // Runs the events that are ready now, without waiting; how many ran.
  std::size_t Poll();
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) override;
  // Makes Run return after the event in progress.
  void Stop();

  TimePoint Now() const;
  // The time source moved on: ticks that are now due run at the next Poll or Run.
  void TimeMoved();

 private:
  friend class PortableTimer;
  struct Scheduled {
    std::function<void()> onTick;
    std::chrono::milliseconds period;
    TimePoint due;
  };

  std::uint64_t NewTimerId() { return nextTimerId_++; }
  void StartTimer(std::uint64_t id, const std::function<void()>& onTick,
                  std::chrono::milliseconds period);
  void StopTimer(std::uint64_t id) { scheduled_.erase(id); }
  bool TimerRunning(std::uint64_t id) const { return scheduled_.count(id) != 0; }
  void WakeAt(TimePoint when);
  void HandleWake();

  CodePage& codePage_;
  TimeSource now_;
  asio::io_context context_;
  asio::executor_work_guard<asio::io_context::executor_type> keepRunning_;
  asio::steady_timer wake_;
  std::optional<TimePoint> wakeAt_;
  std::map<std::uint64_t, Scheduled> scheduled_;
  std::uint64_t nextTimerId_ = 1;
};

}  // namespace dwl::portable
