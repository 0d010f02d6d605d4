#include "platform/portable/PortableNumberFormat.h"

#include "platform/portable/UserLocale.h"

namespace dwl::portable {

std::string PortableNumberFormat::DecimalSeparator() {
  static const std::locale locale = UserLocale();
  return std::string(1, std::use_facet<std::numpunct<char>>(locale).decimal_point());
}

std::string PortableNumberFormat::ThousandsSeparator() {
  static const std::locale locale = UserLocale();
  return std::string(1, std::use_facet<std::numpunct<char>>(locale).thousands_sep());
}

int PortableNumberFormat::GroupSize() {
  static const std::locale locale = UserLocale();
  const std::string grouping = std::use_facet<std::numpunct<char>>(locale).grouping();
  return grouping.empty() || grouping[0] <= 0 ? 0 : grouping[0];
}

}  // namespace dwl::portable
