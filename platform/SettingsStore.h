// The per-user store of small named values (the host's GetSetting/SaveSetting).
#pragma once

#include <string>

namespace dwl {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::string GetSetting(const std::string& appName, const std::string& section,
                                 const std::string& key, const std::string& defaultValue) = 0;
  virtual void SaveSetting(const std::string& appName, const std::string& section,
                           const std::string& key, const std::string& value) = 0;
};

}  // namespace dwl
