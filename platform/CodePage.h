// The system's 8-bit code page. Strings inside the program are UTF-8; files and
// the cipher work on the bytes of this code page.
#pragma once

#include <string>
#include <string_view>

namespace dwl {

class CodePage {
 public:
  virtual ~CodePage() = default;
  // A character the code page lacks becomes '?'; callers that store names or
  // passwords check Holds first, since a '?' would change them for good.
  virtual std::string ToAnsi(std::string_view utf8) = 0;
  virtual std::string FromAnsi(std::string_view ansi) = 0;
  // Whether every character of `utf8` has a byte in the code page.
  virtual bool Holds(std::string_view utf8) = 0;
};

}  // namespace dwl
