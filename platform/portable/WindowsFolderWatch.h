// The folder watch on Windows: ReadDirectoryChangesW on the folder's handle,
// completed through the loop's io_context (an I/O completion port).
#pragma once

#include <asio/io_context.hpp>

#include <functional>
#include <memory>
#include <string>

#include "platform/FolderWatch.h"

namespace dwl::portable {

class WindowsFolderWatch final : public FolderWatch {
 public:
  // nullptr when the folder cannot be opened or watched (missing, no access,
  // a file system without change notices): the caller then looks by itself.
  static std::unique_ptr<FolderWatch> Watch(asio::io_context& context, const std::string& folder,
                                            std::function<void()> onChange);
  ~WindowsFolderWatch() override;

 private:
  // Shared with the pending read, which may end after the watch went.
  struct State;
  explicit WindowsFolderWatch(std::shared_ptr<State> state) : state_(std::move(state)) {}
  // Whether the read was issued. Only a later read's failure reaches the
  // handler; the first one's is Watch's nullptr.
  static bool Arm(const std::shared_ptr<State>& state, bool first);

  std::shared_ptr<State> state_;
};

}  // namespace dwl::portable
