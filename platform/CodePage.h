// The system's 8-bit code page. Strings inside the program are UTF-8; files and
// the cipher work on the bytes of this code page.
#pragma once

#include <string>
#include <string_view>

namespace dwl {

class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual std::string ToAnsi(std::string_view utf8) = 0;
  virtual std::string FromAnsi(std::string_view ansi) = 0;
};

}  // namespace dwl
