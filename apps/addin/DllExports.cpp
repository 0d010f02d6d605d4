// The four functions COM and regsvr32 call by name (DWLOutlookAddin.def
// exports them undecorated).
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <string>

#include "apps/addin/ClassFactory.h"
#include "apps/addin/EntryGuard.h"
#include "apps/addin/Registration.h"
#include "apps/addin/ServerModule.h"
#include "platform/win32/Win32Shell.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  return dwl::addin::Guarded("DllGetClassObject", [&]() -> HRESULT {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != dwl::addin::kConnectClsid) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new dwl::addin::ClassFactory();
    const HRESULT asked = factory->QueryInterface(riid, object);
    factory->Release();
    return asked;
  });
}

STDAPI DllCanUnloadNow() { return dwl::addin::ServerModule::CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  return dwl::addin::Guarded("DllRegisterServer", [] {
    return dwl::addin::RegisterAddin(dwl::win32::ThisModulePath());
  });
}

STDAPI DllUnregisterServer() {
  return dwl::addin::Guarded("DllUnregisterServer", [] { return dwl::addin::UnregisterAddin(); });
}
