// The user's clock and how the user's locale writes a date and time.
#pragma once

#include <string>

#include "platform/LocalDateTime.h"

namespace dwl {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() = 0;
  // The locale's general date format: short date, a blank, long time; the date
  // alone at exactly midnight. Never holds a line break.
  virtual std::string FormatGeneralDate(const LocalDateTime& time) = 0;
};

}  // namespace dwl
