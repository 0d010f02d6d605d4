// Turns an errno value into dwl::Error: the number the core knows for that
// kind of failure, `source` as context and the system's text as detail.
#pragma once

#include <string>

#include "platform/Error.h"

namespace dwl::portable {

Error PosixError(int errnoValue, const std::string& source, const std::string& path);

}  // namespace dwl::portable
