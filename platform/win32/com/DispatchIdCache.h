// Member names and their DISPIDs, asked of an object once per type: objects
// whose type information names the same interface share one table, and an
// object without any has a table of its own for as long as someone holds it.
// Tables never forget a name; a name that fails is asked again next time.
// COM objects stay on their apartment's thread, and so does the cache: use
// ForThisThread(), or one of your own on one thread.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

namespace dwl::win32::com {

class DispatchIdCache {
 public:
  using Table = std::unordered_map<std::string, DISPID>;

  // The table for `object`'s type, made empty on first use.
  std::shared_ptr<Table> TableFor(IDispatch* object);
  // Tables kept by type (objects without type information not counted).
  std::size_t TypeCount() const { return byType_.size(); }

  static DispatchIdCache& ForThisThread();

 private:
  struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const;
  };

  std::map<GUID, std::shared_ptr<Table>, GuidLess> byType_;
  // Without type information: by object, while a DispatchObject holds both
  // the object and its table, so an address reused later is a new object.
  std::map<IDispatch*, std::weak_ptr<Table>> byObject_;
};

}  // namespace dwl::win32::com
