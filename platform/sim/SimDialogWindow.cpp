#include "platform/sim/SimDialogWindow.h"

namespace dwl::sim {

void SimDialogWindow::Hide() {
  shown = false;
  focus.clear();
}

void SimDialogWindow::DoEvents() {
  if (duringEvents) {
    auto action = std::move(duringEvents);
    duringEvents = nullptr;
    action();
  }
}

bool SimDialogWindow::SetFocus(const std::string& control) {
  if (!shown) return false;
  focus = control;
  return true;
}

}  // namespace dwl::sim
