// Picture files as the system reads them, remembering where each came from.
#pragma once

#include <map>
#include <string>

#include "platform/Clipboard.h"
#include "platform/portable/PortablePictureFiles.h"

namespace dwl::sim {

class SimPictureFiles : public PictureFiles {
 public:
  Picture LoadPicture(const std::string& path) override;
  // The file name a picture was last loaded from, or "".
  std::string NameOf(const Picture& picture) const;

 private:
  portable::PortablePictureFiles files_;
  std::map<std::string, std::string> names_;  // bytes -> file name
};

}  // namespace dwl::sim
