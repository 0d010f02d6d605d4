#include "platform/win32/Win32CodePage.h"

#include <windows.h>

#include <climits>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

// Code pages for which WideCharToMultiByte refuses flags and a default
// character: UTF-8 (an ANSI code page on newer Windows), UTF-7, GB18030,
// Symbol, ISO-2022 and ISCII.
bool TakesNoFlags(unsigned codePage) {
  return codePage == CP_UTF8 || codePage == CP_UTF7 || codePage == 54936 || codePage == 42 ||
         (codePage >= 50220 && codePage <= 50229) || (codePage >= 57002 && codePage <= 57011);
}

int Length(std::size_t size, const char* source) {
  if (size > INT_MAX) throw Error(errc::kOverflow, source, "text too long");
  return static_cast<int>(size);
}

}  // namespace

Win32CodePage::Win32CodePage() : codePage_(GetACP()) {}

Win32CodePage::Win32CodePage(unsigned codePage) : codePage_(codePage) {
  if (!IsValidCodePage(codePage)) {
    throw Error(errc::kInvalidCall, "Win32CodePage", "Unknown code page " + std::to_string(codePage));
  }
}

std::string Win32CodePage::Encode(const std::wstring& wide, bool* lost) const {
  if (wide.empty()) return {};
  const int length = Length(wide.size(), "CodePage.ToAnsi");
  const bool noFlags = TakesNoFlags(codePage_);
  const DWORD flags = noFlags ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* defaultChar = noFlags ? nullptr : "?";
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = noFlags || lost == nullptr ? nullptr : &usedDefault;
  const int count =
      WideCharToMultiByte(codePage_, flags, wide.data(), length, nullptr, 0, defaultChar, usedDefaultOut);
  if (count == 0) throw LastError("CodePage.ToAnsi");
  std::string ansi(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(codePage_, flags, wide.data(), length, ansi.data(), count, defaultChar, usedDefaultOut);
  if (lost != nullptr) {
    // Without the report, the way back tells; it is exact for UTF-8.
    *lost = noFlags ? Decode(ansi) != wide : usedDefault != FALSE;
  }
  return ansi;
}

std::wstring Win32CodePage::Decode(std::string_view ansi) const {
  if (ansi.empty()) return {};
  const int length = Length(ansi.size(), "CodePage.FromAnsi");
  const int count = MultiByteToWideChar(codePage_, 0, ansi.data(), length, nullptr, 0);
  if (count == 0) throw LastError("CodePage.FromAnsi");
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(codePage_, 0, ansi.data(), length, wide.data(), count);
  return wide;
}

std::string Win32CodePage::ToAnsi(std::string_view utf8) { return Encode(Wide(utf8), nullptr); }

std::string Win32CodePage::FromAnsi(std::string_view ansi) { return Utf8(Decode(ansi)); }

bool Win32CodePage::Holds(std::string_view utf8) {
  bool lost = false;
  Encode(Wide(utf8), &lost);
  return !lost;
}

}  // namespace dwl::win32
