#include "platform/portable/InotifyFolderWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <asio/posix/stream_descriptor.hpp>

#include <array>
#include <cerrno>

namespace dwl::portable {

struct InotifyFolderWatch::State {
  State(asio::io_context& context, int descriptor, std::function<void()> handler)
      : events(context, descriptor), onChange(std::move(handler)) {}
  asio::posix::stream_descriptor events;
  std::function<void()> onChange;
  bool stopped = false;
};

std::unique_ptr<FolderWatch> InotifyFolderWatch::Watch(asio::io_context& context, const std::string& folder,
                                                       std::function<void()> onChange) {
  const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (descriptor < 0) return nullptr;
  // A queue file is written under a temporary name and renamed into place;
  // a copied one is closed after writing.
  if (inotify_add_watch(descriptor, folder.c_str(), IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
    close(descriptor);
    return nullptr;
  }
  auto state = std::make_shared<State>(context, descriptor, std::move(onChange));
  Arm(state);
  return std::unique_ptr<FolderWatch>(new InotifyFolderWatch(std::move(state)));
}

InotifyFolderWatch::~InotifyFolderWatch() {
  state_->stopped = true;
  asio::error_code ignored;
  state_->events.cancel(ignored);
  state_->events.close(ignored);
}

void InotifyFolderWatch::Arm(const std::shared_ptr<State>& state) {
  state->events.async_wait(asio::posix::stream_descriptor::wait_read, [state](const asio::error_code& failed) {
    if (failed || state->stopped) return;
    // What changed does not matter, only that something did: read the events
    // away (the descriptor does not block) and tell once.
    std::array<char, 4096> events;
    while (read(state->events.native_handle(), events.data(), events.size()) > 0) {
    }
    state->onChange();
    if (!state->stopped) Arm(state);
  });
}

}  // namespace dwl::portable
