// Creates the simulated safe mail item by its ProgID, or fails as an
// uninstalled component does.
#pragma once

#include <memory>
#include <string>

#include "platform/SafeMailItem.h"

namespace dwl::sim {

class SimObjectFactory : public host::ObjectFactory {
 public:
  static constexpr const char* kSafeMailItemProgId = "RedemptionDWL.DWLSafeMailItem";
  // Whether the safe mail item component is installed.
  bool safeMailItemInstalled = true;
  std::shared_ptr<host::SafeMailItem> CreateSafeMailItem(const std::string& progId) override;
};

}  // namespace dwl::sim
