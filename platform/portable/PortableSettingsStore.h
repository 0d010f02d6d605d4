// The per-user settings store as a small INI file, "dropwell-store.ini" in
// $XDG_CONFIG_HOME (else $HOME/.config): one [app\section] group per section.
#pragma once

#include <string>

#include "platform/SettingsStore.h"

namespace dwl::portable {

class PortableSettingsStore : public SettingsStore {
 public:
  // `file` overrides where the store lives (tests); "" means the user's one.
  explicit PortableSettingsStore(std::string file = "");

  std::string GetSetting(const std::string& appName, const std::string& section,
                         const std::string& key, const std::string& defaultValue) override;
  void SaveSetting(const std::string& appName, const std::string& section,
                   const std::string& key, const std::string& value) override;

 private:
  std::string File() const;
  std::string file_;
};

}  // namespace dwl::portable
