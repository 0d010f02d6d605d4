// The system's file-open dialog through the wide API: explorer style,
// multiple selection, owned by the calling thread's active window. Modal;
// call it on a thread with a message loop (the host's user-interface thread).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/FileDialogs.h"

namespace dwl::win32 {

class Win32FileDialogs : public FileDialogs {
 public:
  // `firstBufferLength`: the characters the dialog's file-name buffer starts
  // with; a longer selection makes it grow.
  explicit Win32FileDialogs(std::size_t firstBufferLength = kFirstBufferLength);

  // Throws dwl::Error (number: the dialog's extended error) when the dialog
  // fails; nullopt only when the user cancelled.
  std::optional<std::string> ShowOpen(const OpenFileRequest& request) override;

  static constexpr std::size_t kFirstBufferLength = 2048;

 private:
  std::size_t firstBufferLength_;
};

}  // namespace dwl::win32
