// The class factory of DWLOutlookAddin.Connect that DllGetClassObject hands
// out: makes ConnectObjects and holds the server by LockServer.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>

#include "apps/addin/ServerModule.h"

namespace dwl::addin {

class ClassFactory final : public IClassFactory {
 public:
  // With one reference, which the caller owns.
  ClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;

  std::atomic<ULONG> references_{1};
  ModuleReference module_;
};

}  // namespace dwl::addin
