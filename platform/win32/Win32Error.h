// Turns a Windows error code (GetLastError, an HRESULT's code) into
// dwl::Error: the number the core knows for that kind of failure, `source` as
// context and the system's text as detail.
#pragma once

#include <string>

#include "platform/Error.h"

namespace dwl::win32 {

Error Win32Error(unsigned long code, const std::string& source, const std::string& path = {});
// The same for the calling thread's last error.
Error LastError(const std::string& source, const std::string& path = {});

}  // namespace dwl::win32
