// The wide (UTF-16) strings of the Windows API and the program's UTF-8.
// Text that must stay exact (paths, names) converts here and nowhere else.
#pragma once

#include <string>
#include <string_view>

namespace dwl::win32 {

// Invalid UTF-8 becomes U+FFFD, as the system's own conversion does.
std::wstring Wide(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);

}  // namespace dwl::win32
