#include "support/GUID.h"

#include <algorithm>

#include "platform/Platform.h"

namespace dwl {

std::string CreateGuidString() { return ThePlatform().shell->NewGuid(); }

std::string GuidWithoutBraces(const std::string& guid) {
  std::string text = guid;
  std::erase(text, '{');
  std::erase(text, '}');
  return text;
}

}  // namespace dwl
