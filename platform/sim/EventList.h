// The subscribers of one simulated host event. Raising it calls each handler
// that is still connected, in the order they subscribed; a handler's failure
// goes to the host's error report, as a failed event sink's result goes to
// the host, and the next handler still runs.
#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/EventConnection.h"

namespace dwl::sim {

using HostErrorReport = std::function<void(const Error&)>;

template <class... Args>
class EventList {
 public:
  using Handler = std::function<void(Args...)>;

  host::EventConnection Add(Handler handler) {
    const int id = nextId_++;
    entries_->push_back({id, std::make_shared<Handler>(std::move(handler))});
    std::weak_ptr<std::vector<Entry>> weak = entries_;
    return host::EventConnection([weak, id] {
      if (auto entries = weak.lock()) std::erase_if(*entries, [id](const Entry& e) { return e.id == id; });
    });
  }

  void Raise(const HostErrorReport& report, Args... args) {
    const std::vector<Entry> snapshot = *entries_;
    for (const Entry& entry : snapshot) {
      if (!Connected(entry.id)) continue;  // an earlier handler let go of it
      const std::shared_ptr<Handler> handler = entry.handler;  // survives its own disconnection
      try {
        (*handler)(args...);
      } catch (const Error& failure) {
        if (report) report(failure);
      }
    }
  }

  int Count() const { return static_cast<int>(entries_->size()); }

 private:
  struct Entry {
    int id;
    std::shared_ptr<Handler> handler;
  };
  bool Connected(int id) const {
    for (const Entry& entry : *entries_) {
      if (entry.id == id) return true;
    }
    return false;
  }

  std::shared_ptr<std::vector<Entry>> entries_ = std::make_shared<std::vector<Entry>>();
  int nextId_ = 1;
};

}  // namespace dwl::sim
