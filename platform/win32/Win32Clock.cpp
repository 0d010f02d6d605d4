#include "platform/win32/Win32Clock.h"

#include <windows.h>

#include "platform/win32/WideText.h"
#include "support/LineBreaks.h"

namespace dwl::win32 {
namespace {

// `written` counts the closing NUL; 0 means the call failed.
std::wstring Written(const wchar_t* text, int written) {
  return written > 1 ? std::wstring(text, static_cast<std::size_t>(written - 1)) : std::wstring();
}

std::wstring ShortDate(const SYSTEMTIME& time) {
  wchar_t text[128] = {};
  return Written(text, GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 128, nullptr));
}

std::wstring LongTime(const SYSTEMTIME& time) {
  wchar_t text[128] = {};
  return Written(text, GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text, 128));
}

}  // namespace

LocalDateTime Win32Clock::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string Win32Clock::FormatGeneralDate(const LocalDateTime& time) {
  SYSTEMTIME parts{};
  parts.wYear = static_cast<WORD>(time.year);
  parts.wMonth = static_cast<WORD>(time.month);
  parts.wDay = static_cast<WORD>(time.day);
  parts.wHour = static_cast<WORD>(time.hour);
  parts.wMinute = static_cast<WORD>(time.minute);
  parts.wSecond = static_cast<WORD>(time.second);
  std::wstring text = ShortDate(parts);
  if (text.empty()) return time.ToIsoText();
  if (time.hour != 0 || time.minute != 0 || time.second != 0) {
    text += L" " + LongTime(parts);
  }
  return OneLine(Utf8(text));
}

}  // namespace dwl::win32
