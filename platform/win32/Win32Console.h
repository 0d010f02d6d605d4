// The Windows console of a command-line program. While it lives, the console
// shows UTF-8 (the program's text) and understands the escape that clears the
// rest of a line (the progress bar's); both are put back afterwards.
#pragma once

#include "platform/Console.h"

namespace dwl::win32 {

class Win32Console : public Console {
 public:
  Win32Console();
  ~Win32Console() override;
  Win32Console(const Win32Console&) = delete;
  Win32Console& operator=(const Win32Console&) = delete;

  std::optional<std::string> ReadSecretLine(const std::string& prompt) override;
  bool ErrorIsTerminal() override;
  std::size_t ErrorWidth() override;

 private:
  unsigned savedOutputCodePage_ = 0;
  unsigned long savedErrorMode_ = 0;
  bool errorModeChanged_ = false;
};

}  // namespace dwl::win32
