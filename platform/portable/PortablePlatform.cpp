#include "platform/portable/PortablePlatform.h"

namespace dwl::portable {

PortablePlatform::PortablePlatform() : installed_(Services()) {}

Platform PortablePlatform::Services() {
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
  services.pictures = &pictures_;
  services.eventLoop = &eventLoop_;
  return services;
}

}  // namespace dwl::portable
