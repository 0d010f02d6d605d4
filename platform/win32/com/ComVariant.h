// Owns one VARIANT for its whole life: made from UTF-8 text, a 32-bit
// integer, a double, a boolean (VARIANT_BOOL), an IDispatch object or
// nothing (Empty), and read back as any of them with the system's
// conversions in the invariant locale, so that "2.5" reads the same on every
// machine. A conversion that fails throws dwl::Error (13 Type mismatch,
// 6 Overflow). Move-only; use on the apartment's thread.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dwl::win32::com {

class ComVariant {
 public:
  ComVariant();  // Empty
  // Implicit, so that calls read like the host's: Call("Add", "key", 1).
  ComVariant(const char* utf8);
  ComVariant(std::string_view utf8);
  ComVariant(const std::string& utf8);
  ComVariant(std::int32_t value);
  ComVariant(long value);  // LONG is 32 bits on Windows
  ComVariant(double value);
  ComVariant(bool value);
  // The object is held (AddRef); a null one is Nothing.
  ComVariant(IDispatch* object);
  template <typename T>
    requires std::convertible_to<T*, IDispatch*>
  ComVariant(const Microsoft::WRL::ComPtr<T>& object) : ComVariant(static_cast<IDispatch*>(object.Get())) {}
  ComVariant(std::nullptr_t);
  // Any other pointer would silently become a boolean.
  template <typename T>
    requires(!std::convertible_to<T*, IDispatch*>)
  ComVariant(T*) = delete;
  ~ComVariant();
  // An optional argument left out, as a script leaves it: VT_ERROR with
  // DISP_E_PARAMNOTFOUND, which reads as no value rather than as 0 or "".
  static ComVariant Missing();
  bool IsMissing() const;

  ComVariant(ComVariant&& other) noexcept;
  ComVariant& operator=(ComVariant&& other) noexcept;
  ComVariant(const ComVariant&) = delete;
  ComVariant& operator=(const ComVariant&) = delete;
  // A deep copy (strings copied, objects held once more).
  ComVariant Copy() const;

  VARTYPE Type() const { return variant_.vt; }
  bool IsEmpty() const { return variant_.vt == VT_EMPTY; }
  const VARIANT* Get() const { return &variant_; }
  // For an out parameter: what was held is cleared first.
  VARIANT* Receive();
  // For an in/out parameter: the callee may read the value and replace it.
  VARIANT* InOut() { return &variant_; }
  // The caller clears what it gets; this one is Empty afterwards.
  [[nodiscard]] VARIANT Release();

  // Empty reads as "", 0 and false, as the host's runtime reads it; booleans
  // read as "True" and "False".
  std::string ToText() const;
  std::int32_t ToInt32() const;
  double ToDouble() const;
  bool ToBool() const;
  // An object, an IUnknown that answers IDispatch, or null for Nothing and
  // Empty.
  Microsoft::WRL::ComPtr<IDispatch> ToObject() const;
  // The elements of a one-dimensional array of VARIANTs, from its lower bound.
  std::vector<ComVariant> ToArray() const;

 private:
  VARIANT* Source() const;
  // A copy of this value as `type`, or the failure as dwl::Error.
  ComVariant Converted(VARTYPE type, const char* source) const;

  VARIANT variant_;
};

}  // namespace dwl::win32::com
