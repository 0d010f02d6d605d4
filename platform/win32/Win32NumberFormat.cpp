#include "platform/win32/Win32NumberFormat.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

// The user's value, read each time: the user may change it while we run.
std::wstring UserValue(LCTYPE type, const wchar_t* fallback) {
  wchar_t value[16] = {};
  const int written = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, value, 16);
  return written > 1 ? std::wstring(value, static_cast<std::size_t>(written - 1)) : fallback;
}

}  // namespace

std::string Win32NumberFormat::DecimalSeparator() { return Utf8(UserValue(LOCALE_SDECIMAL, L".")); }

std::string Win32NumberFormat::ThousandsSeparator() { return Utf8(UserValue(LOCALE_STHOUSAND, L",")); }

int Win32NumberFormat::GroupSize() {
  // "3;0" groups by three; "3;2;0" (India) starts with three as well.
  const std::wstring grouping = UserValue(LOCALE_SGROUPING, L"3;0");
  return !grouping.empty() && grouping[0] >= L'1' && grouping[0] <= L'9' ? grouping[0] - L'0' : 0;
}

bool Win32NumberFormat::LeadingZero() { return UserValue(LOCALE_ILZERO, L"1") != L"0"; }

}  // namespace dwl::win32
