// The per-user store, kept in memory for one simulated session.
#pragma once

#include <map>
#include <string>

#include "platform/SettingsStore.h"

namespace dwl::sim {

class SimSettingsStore : public SettingsStore {
 public:
  std::string GetSetting(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& defaultValue) override;
  void SaveSetting(const std::string& appName, const std::string& section,
                   const std::string& key, const std::string& value) override;

 private:
  std::map<std::string, std::string> values_;
};

}  // namespace dwl::sim
