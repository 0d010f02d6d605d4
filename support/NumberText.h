// Numbers written for the user.
#pragma once

#include <string>

namespace dwl {

// `value` rounded half away from zero to `decimals` digits and written with
// the user's decimal separator, and with the user's digit grouping when
// `grouping` is true.
std::string FormatNumber(double value, int decimals, bool grouping);

}  // namespace dwl
