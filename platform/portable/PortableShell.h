// Special folders from the XDG variables: documents are $XDG_DOCUMENTS_DIR,
// else $HOME/Documents; application data is $XDG_CONFIG_HOME, else
// $HOME/.config. The module folder is the running program's; GUIDs come
// from libuuid.
#pragma once

#include "platform/Shell.h"

namespace dwl::portable {

class PortableShell : public Shell {
 public:
  std::string SpecialFolder(int id) override;
  std::string ModuleFolder() override;
  std::string NewGuid() override;
};

}  // namespace dwl::portable
