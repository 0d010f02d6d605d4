// The system's ANSI code page, the 8-bit encoding of the queue, settings and
// log files and of the cipher's bytes. Stateless after construction; any thread.
#pragma once

#include <string>

#include "platform/CodePage.h"

namespace dwl::win32 {

class Win32CodePage : public CodePage {
 public:
  // The system's ANSI code page (GetACP) as it is when constructed.
  Win32CodePage();
  // A given code page; an unknown number is an error (errc::kInvalidCall).
  explicit Win32CodePage(unsigned codePage);

  // Never "best fit": a letter the code page lacks becomes '?', not a look-alike.
  std::string ToAnsi(std::string_view utf8) override;
  std::string FromAnsi(std::string_view ansi) override;
  bool Holds(std::string_view utf8) override;

 private:
  // `lost`, when given, tells whether a character became '?'.
  std::string Encode(const std::wstring& wide, bool* lost) const;
  std::wstring Decode(std::string_view ansi) const;

  unsigned codePage_;
};

}  // namespace dwl::win32
