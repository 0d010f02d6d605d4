#include "platform/portable/UserLocale.h"

#include <exception>

namespace dwl::portable {

std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::exception&) {
    return std::locale::classic();
  }
}

}  // namespace dwl::portable
