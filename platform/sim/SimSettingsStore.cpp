#include "platform/sim/SimSettingsStore.h"

namespace dwl::sim {

std::string SimSettingsStore::GetSetting(const std::string& appName, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) {
  const auto found = values_.find(appName + "\\" + section + "\\" + key);
  return found == values_.end() ? defaultValue : found->second;
}

void SimSettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                   const std::string& key, const std::string& value) {
  values_[appName + "\\" + section + "\\" + key] = value;
}

}  // namespace dwl::sim
