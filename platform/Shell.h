// What the shell tells about the user and this program.
#pragma once

#include <string>

namespace dwl {

// Shell special-folder ids that the system uses.
namespace csidl {
inline constexpr int kPersonal = 5;  // the user's documents
inline constexpr int kAppData = 26;  // the user's (roaming) application data
}  // namespace csidl

class Shell {
 public:
  virtual ~Shell() = default;
  // The folder's path without a trailing separator, or "" for an id the
  // system cannot resolve.
  virtual std::string SpecialFolder(int id) = 0;
  // The folder that holds the running module, without a trailing separator.
  virtual std::string ModuleFolder() = 0;
  // A new GUID in registry form: 38 characters, braces, upper case.
  virtual std::string NewGuid() = 0;
};

}  // namespace dwl
