// The add-in as Outlook reaches it, for `dwl.exe sim --addin`: the DLL at
// the given path is loaded as Outlook loads it (the class registered for
// DWLOutlookAddin.Connect by this user, DllGetClassObject, a new Connect
// object per connection, driven through IDispatch with the simulated
// Outlook shown over COM), and the add-in's side of the run is served by
// the DLL's test entry points (apps/addin/SimTestEntry.h). When the run
// ends, whatever the add-in still holds of the host's objects and a DLL
// that cannot unload are written to `err`.
#pragma once

#include <windows.h>

#include <unknwn.h>
#include <wrl/client.h>

#include <ostream>
#include <string>

#include "apps/addin/SimTestEntry.h"
#include "apps/sim/SimAddIn.h"
#include "platform/win32/com/ComApartment.h"

namespace dwl::cli {

class DllAddIn final : public SimAddIn {
 public:
  // Throws dwl::Error when the DLL cannot be loaded as Outlook would.
  DllAddIn(const std::string& path, std::ostream& out, std::ostream& err);
  ~DllAddIn() override;
  DllAddIn(const DllAddIn&) = delete;
  DllAddIn& operator=(const DllAddIn&) = delete;

  std::shared_ptr<host::AddInEntry> NewConnection() override;
  std::string Released() override;
  void Execute(const std::vector<std::string>& words) override;
  std::string PictureName(const Picture& picture) override;
  void Shutdown() override;

 private:
  static void __cdecl Write(void* context, int stream, const char* text, std::size_t size);
  template <typename Function>
  Function Entry(const char* name) const;

  std::ostream& out_;
  std::ostream& err_;
  std::string answer_;
  win32::com::ComApartment apartment_;
  HMODULE module_ = nullptr;
  Microsoft::WRL::ComPtr<IClassFactory> factory_;
  DwlSimCommandFunction command_ = nullptr;
  DwlSimPictureNameFunction pictureName_ = nullptr;
  DwlSimShutdownFunction shutdown_ = nullptr;
  DwlSimEndFunction end_ = nullptr;
};

}  // namespace dwl::cli
