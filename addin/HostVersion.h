// The host's major version: the whole number that the first two characters
// of Application.Version form ("9." gives 9, "11.0.8217" gives 11).
#pragma once

#include <string>

namespace dwl {

// Throws errc::kTypeMismatch when the text does not start with a digit.
int HostMajorVersion(const std::string& version);

}  // namespace dwl
