// New identifiers.
#pragma once

#include <string>

namespace dwl {

// A new GUID in registry form: 38 characters, "{", upper-case hex, "}".
std::string CreateGuidString();
// `guid` without its braces "{" and "}".
std::string GuidWithoutBraces(const std::string& guid);

}  // namespace dwl
