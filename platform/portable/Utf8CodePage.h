// UTF-8 is the 8-bit code page on Linux: nothing to convert.
#pragma once

#include "platform/CodePage.h"

namespace dwl::portable {

class Utf8CodePage : public CodePage {
 public:
  std::string ToAnsi(std::string_view utf8) override { return std::string(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return std::string(ansi); }
  bool Holds(std::string_view) override { return true; }
};

}  // namespace dwl::portable
