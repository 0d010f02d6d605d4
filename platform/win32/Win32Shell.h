// The Windows shell's answers: special folders by CSIDL, the folder of the
// module that holds this code (the add-in DLL inside Outlook, the program
// otherwise) and GUIDs from COM. Stateless; any thread.
#pragma once

#include <string>

#include "platform/Shell.h"

namespace dwl::win32 {

// The full path of the module that holds this code. Throws dwl::Error.
std::wstring ThisModulePath();

class Win32Shell : public Shell {
 public:
  std::string SpecialFolder(int id) override;
  std::string ModuleFolder() override;
  std::string NewGuid() override;
};

}  // namespace dwl::win32
