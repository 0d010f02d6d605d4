// A local calendar date and wall-clock time to the second, as the user's
// clock shows it. Plain value; ordered like the times it stands for.
#pragma once

#include <compare>
#include <string>

namespace dwl {

struct LocalDateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;

  auto operator<=>(const LocalDateTime&) const = default;

  // Calendar-day boundaries from `from` to `to` (negative when `to` is earlier);
  // the time of day does not count.
  static long DaysBetween(const LocalDateTime& from, const LocalDateTime& to);

  // "YYYY-MM-DD HH:MM:SS", locale-free, for diagnostics and tests.
  std::string ToIsoText() const;
};

}  // namespace dwl
