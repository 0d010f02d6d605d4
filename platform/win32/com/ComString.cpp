#include "platform/win32/com/ComString.h"

#include <climits>
#include <utility>

#include "platform/Error.h"
#include "platform/win32/WideText.h"

namespace dwl::win32::com {

ComString::ComString(std::string_view utf8) : ComString(std::wstring_view(Wide(utf8))) {}

ComString::ComString(std::wstring_view text) {
  if (text.size() > UINT_MAX / sizeof(wchar_t)) throw Error(errc::kOverflow, "ComString", "text too long");
  bstr_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!bstr_) throw Error(errc::kOutOfMemory, "ComString", "Out of memory");
}

ComString::~ComString() { SysFreeString(bstr_); }

ComString::ComString(ComString&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}

ComString& ComString::operator=(ComString&& other) noexcept {
  if (this != &other) {
    SysFreeString(bstr_);
    bstr_ = std::exchange(other.bstr_, nullptr);
  }
  return *this;
}

ComString ComString::Attach(BSTR owned) {
  ComString text;
  text.bstr_ = owned;
  return text;
}

BSTR* ComString::Receive() {
  SysFreeString(std::exchange(bstr_, nullptr));
  return &bstr_;
}

BSTR ComString::Release() { return std::exchange(bstr_, nullptr); }

std::size_t ComString::Length() const { return SysStringLen(bstr_); }

std::wstring_view ComString::View() const { return bstr_ ? std::wstring_view(bstr_, Length()) : std::wstring_view(); }

std::string ComString::Utf8() const { return Utf8Of(bstr_); }

std::string ComString::Utf8Of(BSTR text) {
  return text ? win32::Utf8(std::wstring_view(text, SysStringLen(text))) : std::string();
}

}  // namespace dwl::win32::com
