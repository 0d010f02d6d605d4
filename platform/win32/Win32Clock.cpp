#include "platform/win32/Win32Clock.h"

#include <windows.h>

#include "platform/win32/WideText.h"
#include "support/LineBreaks.h"

namespace dwl::win32 {
namespace {

std::wstring Formatted(int (*format)(LPCWSTR, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int),
                       DWORD flags, const SYSTEMTIME& time) {
  wchar_t text[128] = {};
  const int written = format(LOCALE_NAME_USER_DEFAULT, flags, &time, nullptr, text, 128);
  return written > 1 ? std::wstring(text, static_cast<std::size_t>(written - 1)) : std::wstring();
}

int DateFormat(LPCWSTR locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR text, int size) {
  return GetDateFormatEx(locale, flags, time, format, text, size, nullptr);
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
  std::wstring text = Formatted(DateFormat, DATE_SHORTDATE, parts);
  if (text.empty()) return time.ToIsoText();
  if (time.hour != 0 || time.minute != 0 || time.second != 0) {
    text += L" " + Formatted(GetTimeFormatEx, 0, parts);
  }
  return OneLine(Utf8(text));
}

}  // namespace dwl::win32
