#include "platform/sim/SimFaults.h"

#include "platform/Error.h"

namespace dwl::sim {

SimFaults& SimFaults::Current() {
  static SimFaults faults;
  return faults;
}

void SimFaults::Clear() {
  empty_.clear();
  failing_.clear();
}

void SimFaults::Check(const std::string& member) const {
  if (failing_.contains(member)) throw Error(errc::kUnknown, member, "The operation failed.");
}

}  // namespace dwl::sim
