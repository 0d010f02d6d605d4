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

namespace {

// Its address lies inside this DLL.
const int kInsideThisModule = 0;

// The longest path the wide API takes.
constexpr DWORD kLongestPath = 32768;

// This DLL's full path, for InprocServer32; empty when the system cannot
// tell, and GetLastError says why.
std::wstring ModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&kInsideThisModule), &module)) {
    return L"";
  }
  std::wstring path(kLongestPath, L'\0');
  const DWORD length = GetModuleFileNameW(module, path.data(), kLongestPath);
  // A path that fills the buffer was cut.
  if (length >= kLongestPath) SetLastError(ERROR_FILENAME_EXCED_RANGE);
  if (length == 0 || length >= kLongestPath) return L"";
  path.resize(length);
  return path;
}

}  // namespace

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
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    return dwl::addin::RegisterAddin(path);
  });
}

STDAPI DllUnregisterServer() {
  return dwl::addin::Guarded("DllUnregisterServer", [] { return dwl::addin::UnregisterAddin(); });
}
