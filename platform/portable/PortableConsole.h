// The terminal: a password read without echo, and whether standard error is
// a terminal (for a progress bar).
#pragma once

#include "platform/Console.h"

namespace dwl::portable {

class PortableConsole : public Console {
 public:
  std::optional<std::string> ReadSecretLine(const std::string& prompt) override;
  bool ErrorIsTerminal() override;
  std::size_t ErrorWidth() override;
};

}  // namespace dwl::portable
