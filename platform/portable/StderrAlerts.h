// No windows here: a message for the user goes to standard error, and the
// call returns at once.
#pragma once

#include "platform/UserAlerts.h"

namespace dwl::portable {

class StderrAlerts : public UserAlerts {
 public:
  void Critical(const std::string& text, const std::string& title) override;
};

}  // namespace dwl::portable
