#include "platform/portable/StderrAlerts.h"

#include <iostream>

namespace dwl::portable {

void StderrAlerts::Critical(const std::string& text, const std::string& title) {
  std::cerr << (title.empty() ? "Dropwell" : title) << ": " << text << std::endl;
}

}  // namespace dwl::portable
