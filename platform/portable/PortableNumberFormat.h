// Numbers as the user's locale (LC_ALL, LC_NUMERIC, LANG) writes them.
#pragma once

#include "platform/NumberFormat.h"

namespace dwl::portable {

class PortableNumberFormat : public NumberFormat {
 public:
  std::string DecimalSeparator() override;
  std::string ThousandsSeparator() override;
  int GroupSize() override;
  // POSIX locales have no such setting: always.
  bool LeadingZero() override { return true; }
};

}  // namespace dwl::portable
