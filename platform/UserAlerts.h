// Modal messages that need the user: the critical icon and one OK button.
// The call returns when the user has closed the message.
#pragma once

#include <string>

namespace dwl {

class UserAlerts {
 public:
  virtual ~UserAlerts() = default;
  // `title` "" means the application's default title.
  virtual void Critical(const std::string& text, const std::string& title) = 0;
};

}  // namespace dwl
