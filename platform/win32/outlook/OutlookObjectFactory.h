// The outside components of the Windows host. The safe mail item is the
// registered component of that ProgID when there is one, late bound; without
// it, the wrapper that works on the host's own item (OutlookSafeMailItem).
// Host thread only, inside the host's apartment.
#pragma once

#include <memory>
#include <string>

#include "platform/SafeMailItem.h"

namespace dwl::win32::outlook {

class OutlookObjectFactory final : public host::ObjectFactory {
 public:
  // A class that is registered but cannot be made fails with its HRESULT as
  // the number; an unknown or unregistered one is no failure.
  std::shared_ptr<host::SafeMailItem> CreateSafeMailItem(const std::string& progId) override;
};

}  // namespace dwl::win32::outlook
