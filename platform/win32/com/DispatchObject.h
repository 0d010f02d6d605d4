// A COM object called by member names through IDispatch, as a script calls
// it: Get and Put properties, Call methods, with arguments that are text,
// numbers, booleans, objects or ByRef(value). Names become DISPIDs once per
// type (DispatchIdCache). Every failure is a dwl::Error: 438 naming the
// member the object lacks; for an exception the object raised, its own
// source and description, and its number when it gives one (a control's
// code such as 457 counts), else 440; for any other failure the system's
// text and the member. Copies share the object. Use on the thread of the
// object's apartment.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <array>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win32/com/ComVariant.h"
#include "platform/win32/com/DispatchArgument.h"
#include "platform/win32/com/DispatchIdCache.h"

namespace dwl::win32::com {

class DispatchObject {
 public:
  DispatchObject() = default;  // no object: every call fails
  explicit DispatchObject(Microsoft::WRL::ComPtr<IDispatch> object,
                          DispatchIdCache& cache = DispatchIdCache::ForThisThread());

  // A new object of the class registered under `progId`.
  static DispatchObject Create(std::string_view progId, DispatchIdCache& cache = DispatchIdCache::ForThisThread());

  explicit operator bool() const { return object_ != nullptr; }
  const Microsoft::WRL::ComPtr<IDispatch>& Interface() const { return object_; }

  // The member's DISPID, asked of the object the first time for its type.
  DISPID Id(std::string_view name);

  // A property, with the arguments of a property that takes some (Item(key)).
  template <typename... Args>
  ComVariant Get(std::string_view name, Args&&... args) {
    return Invoke(name, DISPATCH_PROPERTYGET, Arguments(std::forward<Args>(args)...));
  }
  // Put(name, value) or Put(name, arguments..., value): the value is last.
  template <typename... Args>
    requires(sizeof...(Args) > 0)
  void Put(std::string_view name, Args&&... args) {
    Invoke(name, DISPATCH_PROPERTYPUT, Arguments(std::forward<Args>(args)...));
  }
  // The same for a property that holds an object by reference (Set in VB).
  template <typename... Args>
    requires(sizeof...(Args) > 0)
  void PutRef(std::string_view name, Args&&... args) {
    Invoke(name, DISPATCH_PROPERTYPUTREF, Arguments(std::forward<Args>(args)...));
  }
  // A method; what it returns, or Empty. Members that scripts call either
  // way (Item, Count) answer too.
  template <typename... Args>
  ComVariant Call(std::string_view name, Args&&... args) {
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, Arguments(std::forward<Args>(args)...));
  }

  // The call itself: `args` in the caller's order.
  ComVariant Invoke(std::string_view name, WORD flags, std::span<const DispatchArgument> args);

 private:
  template <typename... Args>
  static std::array<DispatchArgument, sizeof...(Args)> Arguments(Args&&... args) {
    return {DispatchArgument(std::forward<Args>(args))...};
  }

  Microsoft::WRL::ComPtr<IDispatch> object_;
  DispatchIdCache* cache_ = nullptr;
  // Asked for on the first name, and kept beside the object.
  std::shared_ptr<DispatchIdCache::Table> names_;
};

}  // namespace dwl::win32::com
