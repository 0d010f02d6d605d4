// Owns one BSTR for its whole life: frees it when it goes, lends it out for
// an out parameter (Receive) and gives it away (Release). A null BSTR is the
// empty string, as COM treats it. Move-only; use on the apartment's thread.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace dwl::win32::com {

class ComString {
 public:
  ComString() = default;
  // Copies of the text; throw dwl::Error when there is no memory for them.
  explicit ComString(std::string_view utf8);
  explicit ComString(std::wstring_view text);
  ~ComString();

  ComString(ComString&& other) noexcept;
  ComString& operator=(ComString&& other) noexcept;
  ComString(const ComString&) = delete;
  ComString& operator=(const ComString&) = delete;

  // Takes over a BSTR that the caller was to free.
  static ComString Attach(BSTR owned);

  BSTR Get() const { return bstr_; }
  // For an out parameter: what was held is freed first.
  BSTR* Receive();
  // The caller frees what it gets; this one is empty afterwards.
  [[nodiscard]] BSTR Release();

  // Characters, embedded NULs included.
  std::size_t Length() const;
  std::wstring_view View() const;
  std::string Utf8() const;
  // The same for a BSTR that someone else owns.
  static std::string Utf8Of(BSTR text);

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace dwl::win32::com
