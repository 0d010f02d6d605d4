// The portable backend: owns one of each service and installs them for the
// lifetime of the object. A program's main() creates one before anything else.
#pragma once

#include <memory>

#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/PortableFileSystem.h"
#include "platform/portable/PortablePictureFiles.h"
#include "platform/portable/PortableSettingsStore.h"
#include "platform/portable/PortableClock.h"
#include "platform/portable/PortableConsole.h"
#include "platform/portable/PortableNumberFormat.h"
#include "platform/portable/PortableShell.h"
#include "platform/portable/StderrAlerts.h"
#include "platform/portable/Utf8CodePage.h"
#include "platform/portable/PortableTransferAgentControl.h"

namespace dwl::portable {

class PortablePlatform {
 public:
  PortablePlatform();
  PortablePlatform(const PortablePlatform&) = delete;
  PortablePlatform& operator=(const PortablePlatform&) = delete;

  // The services, for a caller that wants to wrap one of them.
  Platform Services();
  // The program's event loop, which its main() runs.
  PortableEventLoop& Loop() { return eventLoop_; }

 private:
  PortableFileSystem files_;
  Utf8CodePage codePage_;
  PortableClock clock_;
  PortableShell shell_;
  PortableSettingsStore settingsStore_;
  PortableTransferAgentControl transferAgent_;
  PortableConsole console_;
  StderrAlerts alerts_;
  PortableNumberFormat numberFormat_;
  PortablePictureFiles pictures_;
  PortableEventLoop eventLoop_{codePage_};
  ScopedPlatform installed_;
};

}  // namespace dwl::portable
