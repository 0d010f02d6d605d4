#include "platform/win32/com/DispatchIdCache.h"

#include <wrl/client.h>

#include <cstring>
#include <optional>

namespace dwl::win32::com {
namespace {

// The interface that the object's type information describes, if it tells.
std::optional<GUID> TypeOf(IDispatch* object) {
  UINT count = 0;
  if (FAILED(object->GetTypeInfoCount(&count)) || count == 0) return std::nullopt;
  Microsoft::WRL::ComPtr<ITypeInfo> type;
  if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &type)) || !type) return std::nullopt;
  TYPEATTR* attributes = nullptr;
  if (FAILED(type->GetTypeAttr(&attributes)) || !attributes) return std::nullopt;
  const GUID guid = attributes->guid;
  type->ReleaseTypeAttr(attributes);
  // Type information made on the fly has no interface of its own.
  if (IsEqualGUID(guid, GUID_NULL) || IsEqualGUID(guid, IID_IDispatch)) return std::nullopt;
  return guid;
}

}  // namespace

bool DispatchIdCache::GuidLess::operator()(const GUID& a, const GUID& b) const {
  return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

std::shared_ptr<DispatchIdCache::Table> DispatchIdCache::TableFor(IDispatch* object) {
  if (const std::optional<GUID> type = TypeOf(object)) {
    std::shared_ptr<Table>& table = byType_[*type];
    if (!table) table = std::make_shared<Table>();
    return table;
  }
  std::erase_if(byObject_, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<Table>& entry = byObject_[object];
  std::shared_ptr<Table> table = entry.lock();
  if (!table) {
    table = std::make_shared<Table>();
    entry = table;
  }
  return table;
}

DispatchIdCache& DispatchIdCache::ForThisThread() {
  thread_local DispatchIdCache cache;
  return cache;
}

}  // namespace dwl::win32::com
