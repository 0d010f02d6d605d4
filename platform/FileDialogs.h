// The system's file-open dialog, multiple selection allowed.
#pragma once

#include <optional>
#include <string>

namespace dwl {

struct OpenFileRequest {
  // Pairs of description and pattern, each part ended by a NUL.
  std::string filter;
  std::string title;
  std::string initialDirectory;
  // Centred on the owner window rather than on the screen.
  bool centreOnOwner = false;
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // The dialog's returned file-name buffer: one full path, or the folder, a
  // NUL, each name followed by a NUL, and a closing NUL; nullopt when the
  // user cancelled. A dialog that fails throws dwl::Error.
  virtual std::optional<std::string> ShowOpen(const OpenFileRequest& request) = 0;
};

}  // namespace dwl
