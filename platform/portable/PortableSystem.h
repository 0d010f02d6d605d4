// The small system services of the portable backend: clock and locale, code
// page, shell folders and GUIDs, and the terminal.
#pragma once

#include <ctime>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Console.h"
#include "platform/NumberFormat.h"
#include "platform/Shell.h"
#include "platform/UserAlerts.h"

namespace dwl::portable {

// `seconds` since the epoch as the user's local date and time.
LocalDateTime ToLocalDateTime(std::time_t seconds);

// Local time from the C library; dates and times in the format of the user's
// locale (LC_ALL, LC_TIME, LANG), or the C locale when that cannot be loaded.
class PortableClock : public Clock {
 public:
  LocalDateTime Now() override;
  std::string FormatGeneralDate(const LocalDateTime& time) override;
};

// UTF-8 is the 8-bit code page here: nothing to convert.
class Utf8CodePage : public CodePage {
 public:
  std::string ToAnsi(std::string_view utf8) override { return std::string(utf8); }
  std::string FromAnsi(std::string_view ansi) override { return std::string(ansi); }
};

// Special folders from the XDG variables: documents are $XDG_DOCUMENTS_DIR,
// else $HOME/Documents; application data is $XDG_CONFIG_HOME, else
// $HOME/.config. GUIDs come from libuuid.
class PortableShell : public Shell {
 public:
  std::string SpecialFolder(int id) override;
  std::string ModuleFolder() override;
  std::string NewGuid() override;
};

class PortableConsole : public Console {
 public:
  std::optional<std::string> ReadSecretLine(const std::string& prompt) override;
  bool ErrorIsTerminal() override;
};

// Numbers as the user's locale (LC_ALL, LC_NUMERIC, LANG) writes them.
class PortableNumberFormat : public NumberFormat {
 public:
  std::string DecimalSeparator() override;
  std::string ThousandsSeparator() override;
  int GroupSize() override;
};

// No windows here: a message goes to standard error, and the call returns at once.
class StderrAlerts : public UserAlerts {
 public:
  void Critical(const std::string& text, const std::string& title) override;
};

}  // namespace dwl::portable
