// What a window system does for a dialog whose logic lives in the core: the
// core keeps the controls' state, the window draws it and passes the user's
// actions back to the core's handlers.
#pragma once

#include <string>

namespace dwl {

class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  // Shows the window modeless; Hide keeps it loaded.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Draws the controls' current state.
  virtual void Update() = 0;
  // Lets pending user-interface events run (the user may act meanwhile).
  virtual void DoEvents() = 0;
  // Gives the named control the focus; false when it cannot take it (the
  // window is not shown, the control is hidden).
  virtual bool SetFocus(const std::string& control) = 0;
  virtual void ForceToForeground() = 0;
  virtual void SetTopmost(bool topmost) = 0;
};

}  // namespace dwl
