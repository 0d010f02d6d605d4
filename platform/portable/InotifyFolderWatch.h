// The folder watch on Linux: inotify, read through the loop's io_context.
#pragma once

#include <asio/io_context.hpp>

#include <functional>
#include <memory>
#include <string>

#include "platform/FolderWatch.h"

namespace dwl::portable {

class InotifyFolderWatch final : public FolderWatch {
 public:
  // nullptr when inotify refuses the folder (missing, not readable, no
  // watches left): the caller then looks by itself.
  static std::unique_ptr<FolderWatch> Watch(asio::io_context& context, const std::string& folder,
                                            std::function<void()> onChange);
  ~InotifyFolderWatch() override;

 private:
  // Shared with the pending wait, which may end after the watch went.
  struct State;
  explicit InotifyFolderWatch(std::shared_ptr<State> state) : state_(std::move(state)) {}
  static void Arm(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
};

}  // namespace dwl::portable
