#include "platform/win32/Win32SettingsStore.h"

#include <windows.h>

#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

constexpr const char* kSource = "SettingsStore.SaveSetting";

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY* Receive() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::string Win32SettingsStore::SectionKey(const std::string& appName, const std::string& section) {
  return "Software\\VB and VBA Program Settings\\" + appName + "\\" + section;
}

std::string Win32SettingsStore::GetSetting(const std::string& appName, const std::string& section,
                                           const std::string& key,
                                           const std::string& defaultValue) {
  RegistryKey sectionKey;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Wide(SectionKey(appName, section)).c_str(), 0,
                    KEY_QUERY_VALUE, sectionKey.Receive()) != ERROR_SUCCESS) {
    return defaultValue;
  }
  const std::wstring name = Wide(key);
  // RRF_RT_REG_SZ with RRF_NOEXPAND refuses every other type and adds the
  // closing NUL a value may lack; the value may grow between two calls.
  std::wstring text(64, L'\0');
  for (;;) {
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    const LSTATUS status =
        RegGetValueW(sectionKey.Get(), nullptr, name.c_str(), RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr,
                     text.data(), &bytes);
    if (status == ERROR_SUCCESS) {
      text.resize(bytes / sizeof(wchar_t));
      break;
    }
    const std::size_t needed = (bytes + 1) / sizeof(wchar_t);  // with the NUL
    if (status != ERROR_MORE_DATA || needed > kMaxValueChars + 1) return defaultValue;
    text.assign(needed, L'\0');
  }
  // Up to the first NUL, as the runtime reads it.
  if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
  return Utf8(text);
}

void Win32SettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                     const std::string& key, const std::string& value) {
  const std::string path = SectionKey(appName, section);
  const std::wstring text = Wide(value);
  if (text.size() > kMaxValueChars) {
    throw Error(errc::kOverflow, kSource, "The value of " + key + " is too long for the registry");
  }
  RegistryKey sectionKey;
  const LSTATUS made = RegCreateKeyExW(HKEY_CURRENT_USER, Wide(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                       nullptr, sectionKey.Receive(), nullptr);
  if (made != ERROR_SUCCESS) throw Win32Error(static_cast<unsigned long>(made), kSource, "HKCU\\" + path);
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const LSTATUS written = RegSetValueExW(sectionKey.Get(), Wide(key).c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  if (written != ERROR_SUCCESS) {
    throw Win32Error(static_cast<unsigned long>(written), kSource, "HKCU\\" + path + "\\" + key);
  }
}

}  // namespace dwl::win32
