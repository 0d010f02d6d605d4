#include "platform/sim/SimPictureFiles.h"

namespace dwl::sim {

Picture SimPictureFiles::LoadPicture(const std::string& path) {
  Picture picture = files_.LoadPicture(path);
  names_[picture.bytes] = path.substr(path.find_last_of("/\\") + 1);
  return picture;
}

std::string SimPictureFiles::NameOf(const Picture& picture) const {
  const auto found = names_.find(picture.bytes);
  return found == names_.end() ? "" : found->second;
}

}  // namespace dwl::sim
