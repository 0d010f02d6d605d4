// What the DLL keeps for the whole process: the count of its live COM objects
// (class factories included) and server locks, and the Windows platform with
// the host's outside components, installed while that count is above zero so
// that the core finds its services whenever the host can reach it.
// DllCanUnloadNow asks CanUnload.
// Objects are made and released on the host's thread (apartment threaded);
// only the count is read from elsewhere (CoFreeUnusedLibraries).
#pragma once

namespace dwl::addin {

class HostAdapters;

class ServerModule {
 public:
  // The first reference installs the platform, which may fail (then throws
  // and counts nothing).
  static void AddReference();
  static void ReleaseReference() noexcept;
  static bool CanUnload() noexcept;
  // IClassFactory::LockServer: a lock is a reference of its own; unlocking
  // with no lock held is refused (false).
  static void Lock();
  static bool Unlock() noexcept;
  // What the COM objects turn the host's objects into core objects with.
  static HostAdapters& Adapters();
};

// Held by each COM object for its whole life.
class ModuleReference {
 public:
  ModuleReference() { ServerModule::AddReference(); }
  ~ModuleReference() { ServerModule::ReleaseReference(); }
  ModuleReference(const ModuleReference&) = delete;
  ModuleReference& operator=(const ModuleReference&) = delete;
};

}  // namespace dwl::addin
