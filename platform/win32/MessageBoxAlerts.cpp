#include "platform/win32/MessageBoxAlerts.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace dwl::win32 {

void MessageBoxAlerts::Critical(const std::string& text, const std::string& title) {
  // The same default title as the other backends.
  const std::wstring caption = Wide(title.empty() ? "Dropwell" : title);
  // Task-modal: the user answers it before going on in the host's windows.
  MessageBoxW(nullptr, Wide(text).c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace dwl::win32
