// The user's clock, and dates and times in the formats of the user's regional
// settings (short date, long time).
#pragma once

#include "platform/Clock.h"

namespace dwl::win32 {

class Win32Clock : public Clock {
 public:
  LocalDateTime Now() override;
  std::string FormatGeneralDate(const LocalDateTime& time) override;
};

}  // namespace dwl::win32
