#include "platform/Error.h"

#include <utility>

namespace dwl {

Error::Error(long number, std::string source, std::string description)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

Error Error::WithSourcePrefix(const std::string& prefix) const {
  return Error(number_, prefix + source_, description_);
}

}  // namespace dwl
