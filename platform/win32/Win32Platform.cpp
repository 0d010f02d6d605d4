#include "platform/win32/Win32Platform.h"

namespace dwl::win32 {

Win32Platform::Win32Platform() : installed_(Services()) {}

Platform Win32Platform::Services() {
  Platform services;
  services.files = &files_;
  services.codePage = &codePage_;
  services.clock = &clock_;
  services.shell = &shell_;
  services.settingsStore = &settingsStore_;
  services.transferAgent = &transferAgent_;
  services.console = &console_;
  services.alerts = &alerts_;
  services.numberFormat = &numberFormat_;
  services.clipboard = &clipboard_;
  services.fileDialogs = &fileDialogs_;
  services.pictures = &pictures_;
  services.eventLoop = &eventLoop_;
  return services;
}

}  // namespace dwl::win32
