// The owner's event loop: the one thread on which socket events and timer
// ticks arrive, one at a time. The core makes its timers and sockets here;
// a program creates the loop (platform/portable) and runs it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/FolderWatch.h"
#include "platform/PeriodicTimer.h"
#include "platform/TcpSocket.h"

namespace dwl {

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // A stopped timer that calls `onTick` on every tick. Throws dwl::Error
  // when the system has no timer to give.
  virtual std::unique_ptr<PeriodicTimer> NewTimer(std::function<void()> onTick) = 0;
  // A closed socket.
  virtual std::unique_ptr<TcpSocket> NewTcpSocket() = 0;
  // Calls `onChange` when files appear or change in `folder` (UTF-8);
  // nullptr where the system gives no such notice for it, and the caller
  // looks by itself from time to time.
  virtual std::unique_ptr<FolderWatch> WatchFolder(const std::string& folder, std::function<void()> onChange) = 0;
  // For the owner program: handles events until `done` holds or `limit` of
  // real time has passed; whether `done` holds. Not for use inside a handler.
  virtual bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) = 0;
};

}  // namespace dwl
