#include "platform/win32/com/ComVariant.h"

#include <utility>

#include "platform/Error.h"
#include "platform/win32/com/ComError.h"
#include "platform/win32/com/ComString.h"

namespace dwl::win32::com {

ComVariant::ComVariant() { VariantInit(&variant_); }

ComVariant::ComVariant(const char* utf8) : ComVariant(std::string_view(utf8 ? utf8 : "")) {}

ComVariant::ComVariant(const std::string& utf8) : ComVariant(std::string_view(utf8)) {}

ComVariant::ComVariant(std::string_view utf8) : ComVariant() {
  ComString text(utf8);
  variant_.vt = VT_BSTR;
  variant_.bstrVal = text.Release();
}

ComVariant::ComVariant(std::int32_t value) : ComVariant() {
  variant_.vt = VT_I4;
  variant_.lVal = value;
}

ComVariant::ComVariant(long value) : ComVariant(static_cast<std::int32_t>(value)) {}

ComVariant::ComVariant(double value) : ComVariant() {
  variant_.vt = VT_R8;
  variant_.dblVal = value;
}

ComVariant::ComVariant(bool value) : ComVariant() {
  variant_.vt = VT_BOOL;
  variant_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ComVariant::ComVariant(IDispatch* object) : ComVariant() {
  variant_.vt = VT_DISPATCH;
  variant_.pdispVal = object;
  if (object) object->AddRef();
}

ComVariant::ComVariant(std::nullptr_t) : ComVariant(static_cast<IDispatch*>(nullptr)) {}

ComVariant::~ComVariant() { VariantClear(&variant_); }

ComVariant ComVariant::Missing() {
  ComVariant missing;
  missing.variant_.vt = VT_ERROR;
  missing.variant_.scode = DISP_E_PARAMNOTFOUND;
  return missing;
}

bool ComVariant::IsMissing() const { return variant_.vt == VT_ERROR && variant_.scode == DISP_E_PARAMNOTFOUND; }

ComVariant::ComVariant(ComVariant&& other) noexcept : variant_(other.variant_) { VariantInit(&other.variant_); }

ComVariant& ComVariant::operator=(ComVariant&& other) noexcept {
  if (this != &other) {
    VariantClear(&variant_);
    variant_ = other.variant_;
    VariantInit(&other.variant_);
  }
  return *this;
}

VARIANT* ComVariant::Source() const {
  // The system's declarations take the source of a copy or conversion as
  // writable; it is only read.
  return const_cast<VARIANT*>(&variant_);
}

ComVariant ComVariant::Copy() const {
  ComVariant copy;
  const HRESULT result = VariantCopy(copy.Receive(), Source());
  if (FAILED(result)) throw ComError(result, "ComVariant.Copy");
  return copy;
}

VARIANT* ComVariant::Receive() {
  VariantClear(&variant_);
  return &variant_;
}

VARIANT ComVariant::Release() {
  VARIANT owned = variant_;
  VariantInit(&variant_);
  return owned;
}

ComVariant ComVariant::Converted(VARTYPE type, const char* source) const {
  ComVariant converted;
  // VARIANT_ALPHABOOL: True and False as words, both ways.
  const HRESULT result = VariantChangeTypeEx(converted.Receive(), Source(), LOCALE_INVARIANT, VARIANT_ALPHABOOL, type);
  if (FAILED(result)) throw ComError(result, source);
  return converted;
}

std::string ComVariant::ToText() const {
  if (variant_.vt == VT_BSTR) return ComString::Utf8Of(variant_.bstrVal);
  return ComString::Utf8Of(Converted(VT_BSTR, "ComVariant.ToText").variant_.bstrVal);
}

std::int32_t ComVariant::ToInt32() const { return Converted(VT_I4, "ComVariant.ToInt32").variant_.lVal; }

double ComVariant::ToDouble() const { return Converted(VT_R8, "ComVariant.ToDouble").variant_.dblVal; }

bool ComVariant::ToBool() const { return Converted(VT_BOOL, "ComVariant.ToBool").variant_.boolVal != VARIANT_FALSE; }

Microsoft::WRL::ComPtr<IDispatch> ComVariant::ToObject() const {
  if (variant_.vt == VT_EMPTY) return nullptr;
  return Converted(VT_DISPATCH, "ComVariant.ToObject").variant_.pdispVal;
}

std::vector<ComVariant> ComVariant::ToArray() const {
  const VARIANT* value = &variant_;
  if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal) value = value->pvarVal;
  SAFEARRAY* array = nullptr;
  if (value->vt == (VT_ARRAY | VT_VARIANT)) array = value->parray;
  if (value->vt == (VT_BYREF | VT_ARRAY | VT_VARIANT) && value->pparray) array = *value->pparray;
  if (!array || SafeArrayGetDim(array) != 1) {
    throw Error(errc::kTypeMismatch, "ComVariant.ToArray", "Type mismatch: not a list of values");
  }
  LONG lower = 0;
  LONG upper = -1;
  HRESULT result = SafeArrayGetLBound(array, 1, &lower);
  if (SUCCEEDED(result)) result = SafeArrayGetUBound(array, 1, &upper);
  if (FAILED(result)) throw ComError(result, "ComVariant.ToArray");
  std::vector<ComVariant> elements;
  for (LONG index = lower; index <= upper; ++index) {
    ComVariant element;
    // A copy: the array keeps its own.
    result = SafeArrayGetElement(array, &index, element.Receive());
    if (FAILED(result)) throw ComError(result, "ComVariant.ToArray");
    elements.push_back(std::move(element));
  }
  return elements;
}

}  // namespace dwl::win32::com
