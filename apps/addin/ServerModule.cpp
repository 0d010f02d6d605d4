#include "apps/addin/ServerModule.h"

#include <atomic>

// Asio's Winsock first: it must come before <windows.h>.
#include "platform/win32/Win32Platform.h"

#include "apps/addin/HostAdapters.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/outlook/OutlookObjectFactory.h"

// Asio starts Winsock from a global object, which in a DLL runs under the
// loader lock, where starting Winsock may deadlock. This object, made before
// Asio's own (priority 101 comes first), tells Asio that the DLL starts
// Winsock itself: AddReference does, on the host's thread.
__attribute__((init_priority(101))) asio::detail::winsock_init<>::manual manualWinsockStart;

namespace dwl::addin {
namespace {

Platform WithObjects(Platform services, host::ObjectFactory& objects) {
  services.objects = &objects;
  return services;
}

// The Windows platform with the host's outside components over it. Members
// go in reverse: the outer installation first, as installations must.
struct AddInPlatform {
  win32::Win32Platform system;
  win32::outlook::OutlookObjectFactory objects;
  ScopedPlatform installed{WithObjects(system.Services(), objects)};
};

std::atomic<long> references{0};
long locks = 0;
// Not an owner with a destructor: should the host unload the DLL while
// objects live, the platform (sockets, the console) must not be torn down
// under the loader lock; the process is ending anyway.
AddInPlatform* installed = nullptr;

}  // namespace

void ServerModule::AddReference() {
  if (references.load() == 0 && installed == nullptr) {
    WSADATA winsock{};
    if (const int failed = WSAStartup(MAKEWORD(2, 2), &winsock); failed != 0) {
      throw win32::Win32Error(static_cast<unsigned long>(failed), "WSAStartup");
    }
    try {
      installed = new AddInPlatform();
    } catch (...) {
      WSACleanup();
      throw;
    }
  }
  ++references;
}

void ServerModule::ReleaseReference() noexcept {
  if (--references > 0) return;
  delete installed;
  installed = nullptr;
  WSACleanup();
}

bool ServerModule::CanUnload() noexcept { return references.load() == 0; }

void ServerModule::Lock() {
  AddReference();
  ++locks;
}

bool ServerModule::Unlock() noexcept {
  if (locks == 0) return false;
  --locks;
  ReleaseReference();
  return true;
}

HostAdapters& ServerModule::Adapters() {
  static OutlookHostAdapters adapters;
  return adapters;
}

}  // namespace dwl::addin
