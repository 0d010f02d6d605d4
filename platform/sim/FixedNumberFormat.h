// A number format that a test or script sets, in place of the user's locale.
#pragma once

#include <string>

#include "platform/NumberFormat.h"

namespace dwl::sim {

class FixedNumberFormat : public NumberFormat {
 public:
  FixedNumberFormat(std::string decimal, std::string thousands, int groupSize, bool leadingZero = true)
      : decimal_(std::move(decimal)),
        thousands_(std::move(thousands)),
        groupSize_(groupSize),
        leadingZero_(leadingZero) {}
  std::string DecimalSeparator() override { return decimal_; }
  std::string ThousandsSeparator() override { return thousands_; }
  int GroupSize() override { return groupSize_; }
  bool LeadingZero() override { return leadingZero_; }

 private:
  std::string decimal_;
  std::string thousands_;
  int groupSize_;
  bool leadingZero_;
};

}  // namespace dwl::sim
