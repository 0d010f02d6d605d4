// The user's locale (LC_ALL, LC_*, LANG), or the C locale when it cannot be
// loaded: for dates and numbers written the user's way.
#pragma once

#include <locale>

namespace dwl::portable {

std::locale UserLocale();

}  // namespace dwl::portable
