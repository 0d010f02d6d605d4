// The per-user settings store where the VB runtime's GetSetting/SaveSetting
// keep it: HKCU\Software\VB and VBA Program Settings\<app>\<section>, one
// REG_SZ value per key. A value that is missing, of another type or longer
// than kMaxValueChars reads as the default. Stateless; any thread.
#pragma once

#include <cstddef>
#include <string>

#include "platform/SettingsStore.h"

namespace dwl::win32 {

class Win32SettingsStore : public SettingsStore {
 public:
  // Longer values are refused when saved rather than stored unreadable.
  static constexpr std::size_t kMaxValueChars = 32767;

  std::string GetSetting(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& defaultValue) override;
  // Throws dwl::Error when the key cannot be made or the value not written.
  void SaveSetting(const std::string& appName, const std::string& section,
                   const std::string& key, const std::string& value) override;

  // The section's key below HKEY_CURRENT_USER.
  static std::string SectionKey(const std::string& appName, const std::string& section);
};

}  // namespace dwl::win32
