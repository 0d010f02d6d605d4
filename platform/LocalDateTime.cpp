#include "platform/LocalDateTime.h"

#include <chrono>
#include <cstdio>

namespace dwl {

namespace {
long DayNumber(const LocalDateTime& t) {
  using namespace std::chrono;
  const sys_days days{year{t.year} / month{static_cast<unsigned>(t.month)} /
                      day{static_cast<unsigned>(t.day)}};
  return static_cast<long>(days.time_since_epoch().count());
}
}  // namespace

long LocalDateTime::DaysBetween(const LocalDateTime& from, const LocalDateTime& to) {
  return DayNumber(to) - DayNumber(from);
}

std::string LocalDateTime::ToIsoText() const {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                minute, second);
  return text;
}

}  // namespace dwl
