#include "addin/HostVersion.h"

#include "platform/Error.h"

namespace dwl {

int HostMajorVersion(const std::string& version) {
  const std::string head = version.substr(0, 2);
  int major = 0;
  std::size_t digits = 0;
  while (digits < head.size() && head[digits] >= '0' && head[digits] <= '9') {
    major = major * 10 + (head[digits] - '0');
    ++digits;
  }
  if (digits == 0) {
    throw Error(errc::kTypeMismatch, "HostMajorVersion", "Type mismatch: version \"" + version + "\"");
  }
  return major;
}

}  // namespace dwl
