// One argument of a call through IDispatch. By value it is anything a
// ComVariant is made from, or a ComVariant lent for the call. ByRef(value)
// passes VT_BYREF|VT_VARIANT pointing at the caller's ComVariant, so what
// the callee writes there is the caller's afterwards. Lives for one call.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <concepts>
#include <type_traits>
#include <utility>

#include "platform/win32/com/ComVariant.h"

namespace dwl::win32::com {

class DispatchArgument {
 public:
  template <typename T>
    requires(!std::same_as<std::remove_cvref_t<T>, ComVariant> &&
             !std::same_as<std::remove_cvref_t<T>, DispatchArgument> && std::constructible_from<ComVariant, T &&>)
  DispatchArgument(T&& value) : owned_(std::forward<T>(value)) {}
  DispatchArgument(ComVariant&& value) : owned_(std::move(value)) {}
  // Lent, not copied: the caller's value outlives the call.
  DispatchArgument(const ComVariant& value) : lent_(&value) {}

  static DispatchArgument ByRef(ComVariant& value);

  // What goes into DISPPARAMS: a view that owns nothing.
  VARIANTARG Passed() const;

 private:
  DispatchArgument() = default;

  ComVariant owned_;
  const ComVariant* lent_ = nullptr;
  ComVariant* byRef_ = nullptr;
};

inline DispatchArgument ByRef(ComVariant& value) { return DispatchArgument::ByRef(value); }

}  // namespace dwl::win32::com
