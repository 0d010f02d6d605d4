// Turns a failed HRESULT into dwl::Error with the number the core knows for
// that kind of failure (the host runtime's: 5, 6, 7, 13, 438, else 440), the
// system's text where it has one, and `detail` (a member, a ProgID) after it.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Error.h"

namespace dwl::win32::com {

Error ComError(HRESULT result, const std::string& source, const std::string& detail = {});

// The runtime's number for a failure: 438 for a member the object lacks,
// 440 ("Automation error") for whatever has no closer number.
long ComErrorNumber(HRESULT result);

}  // namespace dwl::win32::com
