#include "platform/portable/PortablePictureFiles.h"

#include <stb/stb_image.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Error.h"

namespace dwl::portable {

namespace {
constexpr long kInvalidPicture = 481;
}  // namespace

Picture PortablePictureFiles::LoadPicture(const std::string& path) {
  // The path is UTF-8, which a plain string would not say on Windows.
  std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
  if (!in) throw Error(errc::kFileNotFound, "LoadPicture", "File not found: " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  Picture picture{bytes.str()};
  // Decoded in full, so a truncated file is refused now rather than drawn half.
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(picture.bytes.data()),
                                          static_cast<int>(picture.bytes.size()), &picture.width,
                                          &picture.height, &channels, 0);
  if (pixels == nullptr) {
    throw Error(kInvalidPicture, "LoadPicture",
                std::string("Invalid picture (") + stbi_failure_reason() + "): " + path);
  }
  stbi_image_free(pixels);
  return picture;
}

}  // namespace dwl::portable
