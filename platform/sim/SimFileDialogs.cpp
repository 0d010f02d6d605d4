#include "platform/sim/SimFileDialogs.h"

#include "platform/Error.h"
#include "platform/Platform.h"

namespace dwl::sim {

std::optional<std::string> SimFileDialogs::ShowOpen(const OpenFileRequest& request) {
  lastRequest = request;
  auto choice = std::move(nextChoice);
  nextChoice.reset();
  if (!choice || choice->empty()) return std::nullopt;
  // As the system returns it: one full path, or the folder and the names.
  if (choice->size() == 1) return choice->front() + '\0';
  const char separator = ThePlatform().files->Separator();
  const std::string& first = choice->front();
  const std::string folder = first.substr(0, first.find_last_of(separator));
  std::string buffer = folder + '\0';
  for (const std::string& path : *choice) {
    if (path.substr(0, path.find_last_of(separator)) != folder) {
      throw Error(errc::kInvalidCall, "FileDialogs.ShowOpen", "the chosen files must share a folder");
    }
    buffer += path.substr(path.find_last_of(separator) + 1) + '\0';
  }
  return buffer + '\0';
}

}  // namespace dwl::sim
