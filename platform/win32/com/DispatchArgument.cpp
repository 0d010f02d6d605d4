#include "platform/win32/com/DispatchArgument.h"

namespace dwl::win32::com {

DispatchArgument DispatchArgument::ByRef(ComVariant& value) {
  DispatchArgument argument;
  argument.byRef_ = &value;
  return argument;
}

VARIANTARG DispatchArgument::Passed() const {
  if (byRef_) {
    VARIANTARG reference;
    VariantInit(&reference);
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = byRef_->InOut();
    return reference;
  }
  // A bitwise copy: the callee may not free or change a value passed by value.
  return *(lent_ ? lent_ : &owned_)->Get();
}

}  // namespace dwl::win32::com
