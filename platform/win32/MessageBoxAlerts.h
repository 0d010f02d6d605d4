// Alerts as the system's message box: the critical icon and one OK button.
#pragma once

#include "platform/UserAlerts.h"

namespace dwl::win32 {

class MessageBoxAlerts : public UserAlerts {
 public:
  void Critical(const std::string& text, const std::string& title) override;
};

}  // namespace dwl::win32
