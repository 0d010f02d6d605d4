// Local time from the C library; dates and times in the format of the user's
// locale (LC_ALL, LC_TIME, LANG), or the C locale when that cannot be loaded.
#pragma once

#include <ctime>

#include "platform/Clock.h"

namespace dwl::portable {

// `seconds` since the epoch as the user's local date and time.
LocalDateTime ToLocalDateTime(std::time_t seconds);

class PortableClock : public Clock {
 public:
  LocalDateTime Now() override;
  std::string FormatGeneralDate(const LocalDateTime& time) override;
};

}  // namespace dwl::portable
