#include "support/FindSystemFolders.h"

#include "platform/Platform.h"

namespace dwl {

std::string FindSystemFolder(std::int32_t lngFolderId) {
  std::string folder;
  try {
    folder = ThePlatform().shell->SpecialFolder(lngFolderId);
  } catch (const Error& failure) {
    throw failure.WithSourcePrefix("FindSystemFolder::");
  }
  const auto first = folder.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return folder.substr(first, folder.find_last_not_of(' ') - first + 1);
}

}  // namespace dwl
