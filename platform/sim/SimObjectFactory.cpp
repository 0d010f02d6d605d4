#include "platform/sim/SimObjectFactory.h"

#include "platform/Error.h"
#include "platform/sim/SimFaults.h"
#include "platform/sim/SimSafeMailItem.h"

namespace dwl::sim {

std::shared_ptr<host::SafeMailItem> SimObjectFactory::CreateSafeMailItem(const std::string& progId) {
  if (!safeMailItemInstalled || progId != kSafeMailItemProgId) {
    throw Error(429, "CreateObject", "ActiveX component can't create object: " + progId);
  }
  return SimFaults::Current().Hand<host::SafeMailItem>("CreateObject", std::make_shared<SimSafeMailItem>());
}

}  // namespace dwl::sim
