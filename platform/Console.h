// The terminal of a command-line program.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace dwl {

class Console {
 public:
  virtual ~Console() = default;
  // One line from standard input without its terminator; on a terminal the
  // prompt is shown and the typing is not echoed. nullopt at end of input.
  virtual std::optional<std::string> ReadSecretLine(const std::string& prompt) = 0;
  // Whether standard error is a terminal (progress may redraw one line).
  virtual bool ErrorIsTerminal() = 0;
  // The columns of the terminal on standard error now (it may be resized);
  // 0 when that is no terminal or it does not tell.
  virtual std::size_t ErrorWidth() = 0;
};

}  // namespace dwl
