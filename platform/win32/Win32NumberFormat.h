// Numbers as the user's regional settings write them.
#pragma once

#include "platform/NumberFormat.h"

namespace dwl::win32 {

class Win32NumberFormat : public NumberFormat {
 public:
  std::string DecimalSeparator() override;
  std::string ThousandsSeparator() override;
  int GroupSize() override;
  bool LeadingZero() override;
};

}  // namespace dwl::win32
