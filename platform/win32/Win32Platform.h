// The Windows backend: owns one of each service and installs them for the
// lifetime of the object. A program's main() creates one before anything else.
#pragma once

#include "platform/Platform.h"
#include "platform/portable/PortableEventLoop.h"
#include "platform/portable/PortablePictureFiles.h"
#include "platform/win32/MessageBoxAlerts.h"
#include "platform/win32/Win32Clipboard.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32CodePage.h"
#include "platform/win32/Win32Console.h"
#include "platform/win32/Win32FileDialogs.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32NumberFormat.h"
#include "platform/win32/Win32SettingsStore.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32TransferAgentControl.h"

namespace dwl::win32 {

class Win32Platform {
 public:
  Win32Platform();
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The services, for a caller that wants to wrap one of them.
  Platform Services();
  // The program's event loop, which its main() runs.
  portable::PortableEventLoop& Loop() { return eventLoop_; }

 private:
  Win32CodePage codePage_;
  Win32FileSystem files_;
  Win32Clock clock_;
  Win32Shell shell_;
  Win32SettingsStore settingsStore_;
  Win32TransferAgentControl transferAgent_;
  Win32Console console_;
  MessageBoxAlerts alerts_;
  Win32NumberFormat numberFormat_;
  Win32Clipboard clipboard_;
  Win32FileDialogs fileDialogs_;
  portable::PortablePictureFiles pictures_;
  portable::PortableEventLoop eventLoop_{codePage_};
  ScopedPlatform installed_;
};

}  // namespace dwl::win32
