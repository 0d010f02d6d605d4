// A dialog window without a screen: it records what the logic asks of it.
#pragma once

#include <functional>
#include <string>

#include "platform/DialogWindow.h"

namespace dwl::sim {

class SimDialogWindow : public DialogWindow {
 public:
  void Show() override { shown = true; }
  void Hide() override;
  void Update() override { ++updates; }
  void DoEvents() override;
  bool SetFocus(const std::string& control) override;
  void ForceToForeground() override { foreground = true; }
  void SetTopmost(bool value) override { topmost = value; }

  bool shown = false;
  bool foreground = false;
  bool topmost = false;
  std::string focus;
  int updates = 0;
  // What the user does the next time pending events run.
  std::function<void()> duringEvents;
};

}  // namespace dwl::sim
