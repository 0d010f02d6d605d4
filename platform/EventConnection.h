// A subscription to a host event. The subscriber keeps the connection for as
// long as it follows the event; dropping it (or Disconnect) stops the calls,
// as releasing a COM event sink does.
#pragma once

#include <functional>

namespace dwl::host {

class EventConnection {
 public:
  EventConnection() = default;
  explicit EventConnection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
  EventConnection(EventConnection&& other) noexcept : disconnect_(std::move(other.disconnect_)) {
    other.disconnect_ = nullptr;
  }
  EventConnection& operator=(EventConnection&& other) noexcept {
    if (this != &other) {
      Disconnect();
      disconnect_ = std::move(other.disconnect_);
      other.disconnect_ = nullptr;
    }
    return *this;
  }
  EventConnection(const EventConnection&) = delete;
  EventConnection& operator=(const EventConnection&) = delete;
  ~EventConnection() { Disconnect(); }

  void Disconnect() {
    if (disconnect_) {
      auto disconnect = std::move(disconnect_);
      disconnect_ = nullptr;
      disconnect();
    }
  }
  bool Connected() const { return static_cast<bool>(disconnect_); }

 private:
  std::function<void()> disconnect_;
};

}  // namespace dwl::host
