// The platform services that the core reaches the system through. A program
// installs one set at start (see platform/portable/PortablePlatform.h); tests
// install fakes, or wrap one service to inject a fault, with ScopedPlatform.
// Single-threaded like the rest of the core.
#pragma once

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/Error.h"
#include "platform/Console.h"
#include "platform/FileDialogs.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "platform/NumberFormat.h"
#include "platform/SafeMailItem.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/TransferAgentControl.h"
#include "platform/UserAlerts.h"

namespace dwl {

// Non-owning; the installer keeps the services alive while they are installed.
// The host services (clipboard, pictures, outside objects) exist only where
// a host runs the add-in; elsewhere they are null.
struct Platform {
  FileSystem* files = nullptr;
  CodePage* codePage = nullptr;
  Clock* clock = nullptr;
  Shell* shell = nullptr;
  SettingsStore* settingsStore = nullptr;
  TransferAgentControl* transferAgent = nullptr;
  Console* console = nullptr;
  UserAlerts* alerts = nullptr;
  NumberFormat* numberFormat = nullptr;
  Clipboard* clipboard = nullptr;
  PictureFiles* pictures = nullptr;
  host::ObjectFactory* objects = nullptr;
  FileDialogs* fileDialogs = nullptr;
  EventLoop* eventLoop = nullptr;
};

// The installed services. Using it before anything was installed is a
// programming error and aborts.
const Platform& ThePlatform();
// Whether services are installed (they are not once a program is shutting down).
bool PlatformInstalled();

// Installs `platform` for as long as the scope lives and puts the previous
// one back afterwards.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(const Platform& platform);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform previous_;
};

}  // namespace dwl
