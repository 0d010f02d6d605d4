// Picture files read with stb_image: BMP, GIF, JPEG (and PNG).
#pragma once

#include "platform/Clipboard.h"

namespace dwl::portable {

class PortablePictureFiles : public PictureFiles {
 public:
  Picture LoadPicture(const std::string& path) override;
};

}  // namespace dwl::portable
