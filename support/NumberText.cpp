#include "support/NumberText.h"

#include <charconv>
#include <cmath>

#include "platform/Platform.h"

namespace dwl {

std::string FormatNumber(double value, int decimals, bool grouping) {
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  char digits[400];
  // to_chars is locale-free, whatever locale the host process runs in.
  const auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(rounded),
                                    std::chars_format::fixed, decimals);
  const std::string text(digits, result.ptr);
  const auto point = text.find('.');
  std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);

  NumberFormat& format = *ThePlatform().numberFormat;
  const int groupSize = grouping ? format.GroupSize() : 0;
  if (groupSize > 0) {
    const std::string separator = format.ThousandsSeparator();
    for (auto at = static_cast<std::ptrdiff_t>(whole.size()) - groupSize; at > 0; at -= groupSize) {
      whole.insert(static_cast<std::size_t>(at), separator);
    }
  }
  if (whole == "0" && decimals > 0 && !format.LeadingZero()) whole.clear();
  std::string out = rounded < 0 ? "-" + whole : whole;
  if (decimals > 0) out += format.DecimalSeparator() + fraction;
  return out;
}

}  // namespace dwl
