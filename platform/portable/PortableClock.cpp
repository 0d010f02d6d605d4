#include "platform/portable/PortableClock.h"

#include <iomanip>
#include <sstream>

#include "platform/portable/UserLocale.h"
#include "support/LineBreaks.h"

namespace dwl::portable {

LocalDateTime ToLocalDateTime(std::time_t seconds) {
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                       parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

LocalDateTime PortableClock::Now() { return ToLocalDateTime(std::time(nullptr)); }

std::string PortableClock::FormatGeneralDate(const LocalDateTime& time) {
  std::tm parts{};
  parts.tm_year = time.year - 1900;
  parts.tm_mon = time.month - 1;
  parts.tm_mday = time.day;
  parts.tm_hour = time.hour;
  parts.tm_min = time.minute;
  parts.tm_sec = time.second;
  parts.tm_isdst = -1;
  std::ostringstream text;
  static const std::locale locale = UserLocale();
  text.imbue(locale);
  const bool midnight = time.hour == 0 && time.minute == 0 && time.second == 0;
  text << std::put_time(&parts, midnight ? "%x" : "%x %X");
  return OneLine(text.str());
}

}  // namespace dwl::portable
