// Owns one VARIANT: cleared when the owner goes, never copied.
#pragma once

#include <windows.h>

#include <oleauto.h>

namespace dwl::addin {

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  // For an out parameter: whatever was held goes first.
  VARIANT* Receive() {
    VariantClear(&value_);
    return &value_;
  }
  VARIANT* Get() { return &value_; }
  const VARIANT& operator*() const { return value_; }

 private:
  VARIANT value_;
};

}  // namespace dwl::addin
