// A watch on one folder, made by the owner's event loop (see
// platform/EventLoop.h): its handler runs on the loop's thread soon after a
// file in the folder was made, renamed into it or written, as an event like
// any other. Changes that come together may be told once. Watching stops
// when the watch goes.
#pragma once

namespace dwl {

class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
};

}  // namespace dwl
