// How the user's locale writes numbers.
#pragma once

#include <string>

namespace dwl {

class NumberFormat {
 public:
  virtual ~NumberFormat() = default;
  virtual std::string DecimalSeparator() = 0;
  virtual std::string ThousandsSeparator() = 0;
  // Digits per group before the decimal separator; 0 for no grouping.
  virtual int GroupSize() = 0;
  // Whether a number below 1 starts with "0" ("0.5" rather than ".5").
  virtual bool LeadingZero() = 0;
};

}  // namespace dwl
