// Loads DWLOutlookAddin.dll as a host would, through its per-user
// registration, and drives its Connect object by vtable and by
// IDispatch::Invoke. Wine does not merge HKCU\Software\Classes into HKCR, so
// the CLSID and the DLL's path are read from HKCU and DllGetClassObject is
// called directly. One line per check; exit 0 when every check passed.
#include <winsock2.h>

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

#include "apps/addin/EntryGuard.h"
#include "apps/addin/IDTExtensibility2.h"
#include "platform/win32/com/ComVariant.h"

namespace {

using Microsoft::WRL::ComPtr;
using dwl::win32::com::ComVariant;

int failures = 0;

void Check(bool passed, const std::string& what) {
  std::printf("%s - %s\n", passed ? "ok" : "FAIL", what.c_str());
  if (!passed) ++failures;
}

std::string Hex(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
  return text;
}

void CheckCode(HRESULT got, HRESULT expected, const std::string& what) {
  Check(got == expected, what + " (" + Hex(got) + ", expected " + Hex(expected) + ")");
}

std::wstring ReadText(const std::wstring& key, const wchar_t* name) {
  wchar_t text[1024] = {};
  DWORD bytes = sizeof text;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
    return L"";
  }
  return text;
}

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// An IDispatch of the host's kind: counts its references so that a check can
// see the add-in let go of everything it took.
class FakeDispatch : public IDispatch {
 public:
  virtual ~FakeDispatch() = default;
  ULONG References() const { return references_; }
  // Names asked for: the hub reads the application's members by name.
  int namesAsked = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  // Lives on the stack: never deleted here.
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    ++namesAsked;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  ULONG references_ = 1;
};

// The add-in instance Outlook passes: a ProgId property, or one that fails
// with E_ACCESSDENIED when `refuse` is set.
class FakeAddInInstance : public FakeDispatch {
 public:
  explicit FakeAddInInstance(bool refuse = false) : refuse_(refuse) {}
  int reads = 0;

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count == 1 && CompareStringOrdinal(names[0], -1, L"ProgId", -1, TRUE) == CSTR_EQUAL) {
      ids[0] = kProgIdDispid;
      return S_OK;
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                   EXCEPINFO* excepInfo, UINT*) override {
    if (id != kProgIdDispid || (flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
    ++reads;
    if (refuse_) {
      *excepInfo = EXCEPINFO{};
      excepInfo->bstrDescription = SysAllocString(L"refused by the test");
      excepInfo->scode = E_ACCESSDENIED;
      return DISP_E_EXCEPTION;
    }
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(L"DWLOutlookAddin.Connect");
    return S_OK;
  }

 private:
  static constexpr DISPID kProgIdDispid = 7;
  bool refuse_;
};

// The failures the host must get back as HRESULTs, whatever was thrown.
void CheckEntryGuard() {
  using dwl::addin::Guarded;
  CheckCode(Guarded("test", []() -> HRESULT { throw dwl::Error(91, "", "Object variable not set"); }),
            static_cast<HRESULT>(0x800A005B), "guard: the runtime's error 91 as the host environment numbers it");
  CheckCode(Guarded("test", []() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY,
            "guard: out of memory");
  CheckCode(Guarded("test", []() -> HRESULT { throw 42; }), static_cast<HRESULT>(0x800A01B8),
            "guard: even what is no exception class");
  EXCEPINFO info{};
  CheckCode(Guarded("test", []() -> HRESULT { throw dwl::Error(53, "Files.Open", "File not found"); }, &info),
            DISP_E_EXCEPTION, "guard: for Invoke, a failure is DISP_E_EXCEPTION");
  Check(info.scode == static_cast<HRESULT>(0x800A0035) && info.bstrDescription != nullptr &&
            std::wstring(info.bstrDescription) == L"File not found" && info.bstrSource != nullptr &&
            std::wstring(info.bstrSource) == L"Files.Open",
        "guard: EXCEPINFO carries the code, the description and the source");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
}

// IDispatch::Invoke of a method; arguments given first to last.
HRESULT InvokeMethod(IDispatch* object, DISPID id, std::initializer_list<VARIANT> arguments,
                     EXCEPINFO* info = nullptr, UINT* argError = nullptr) {
  std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
  std::reverse(reversed.begin(), reversed.end());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  ComVariant result;
  EXCEPINFO ignored{};
  UINT ignoredArg = 0;
  const HRESULT code = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                      result.Receive(), info ? info : &ignored, argError ? argError : &ignoredArg);
  if (!info) {
    SysFreeString(ignored.bstrSource);
    SysFreeString(ignored.bstrDescription);
  }
  return code;
}

// Arguments as a host passes them: the caller owns what they point to.
VARIANT Object(IDispatch* object) { VARIANT v; v.vt = VT_DISPATCH; v.pdispVal = object; return v; }
VARIANT Number(int number) { VARIANT v; v.vt = VT_I4; v.lVal = number; return v; }
VARIANT Missing() { VARIANT v; v.vt = VT_ERROR; v.scode = DISP_E_PARAMNOTFOUND; return v; }

// The Connect object by its vtable and by IDispatch; `fresh` is the first
// reference to it.
void CheckConnect(IUnknown* fresh) {
  ComPtr<IDispatch> dispatch;
  ComPtr<IDTExtensibility2> addin;
  CheckCode(fresh->QueryInterface(IID_PPV_ARGS(&dispatch)), S_OK, "QueryInterface IDispatch");
  CheckCode(fresh->QueryInterface(IID_PPV_ARGS(&addin)), S_OK,
            "QueryInterface IDTExtensibility2 {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}");
  ComPtr<IUnknown> identity;
  fresh->QueryInterface(IID_PPV_ARGS(&identity));
  ComPtr<IUnknown> viaAddin;
  if (addin) addin->QueryInterface(IID_PPV_ARGS(&viaAddin));
  Check(identity && identity.Get() == viaAddin.Get(), "one IUnknown whichever interface is asked");
  if (!addin || !dispatch) return;

  FakeDispatch application;
  FakeAddInInstance instance;
  SAFEARRAY* custom = SafeArrayCreateVector(VT_VARIANT, 0, 0);

  // By vtable.
  CheckCode(addin->OnConnection(&application, ext_cm_Startup, &instance, &custom), S_OK,
            "vtable OnConnection (the application has no members: the hub tolerates each failure)");
  Check(application.namesAsked > 0, "the hub asked the application for its members");
  Check(instance.reads == 1, "the ProgId was read from the add-in instance");
  CheckCode(addin->OnDisconnection(ext_dm_UserClosed, &custom), S_OK, "vtable OnDisconnection");
  CheckCode(addin->OnConnection(nullptr, ext_cm_Startup, nullptr, nullptr), static_cast<HRESULT>(0x800A005B),
            "vtable OnConnection without an add-in instance fails with error 91 and does not throw");
  FakeAddInInstance refusing(true);
  CheckCode(addin->OnConnection(&application, ext_cm_Startup, &refusing, &custom), E_ACCESSDENIED,
            "vtable OnConnection: a failing host call comes back as its HRESULT");
  CheckCode(addin->OnDisconnection(ext_dm_HostShutdown, &custom), S_OK, "vtable OnDisconnection again");

  // The slots as a host written in C counts them, IUnknown's first at 0, so
  // that a fault in the shared declaration shows too.
  using OnConnectionSlot = HRESULT(STDMETHODCALLTYPE*)(void*, IDispatch*, int, IDispatch*, SAFEARRAY**);
  using OnDisconnectionSlot = HRESULT(STDMETHODCALLTYPE*)(void*, int, SAFEARRAY**);
  void** slots = *reinterpret_cast<void***>(addin.Get());
  const int readsBefore = instance.reads;
  CheckCode(reinterpret_cast<OnConnectionSlot>(slots[7])(addin.Get(), &application, ext_cm_Startup, &instance,
                                                          &custom),
            S_OK, "slot 7 (OnConnection)");
  Check(instance.reads == readsBefore + 1, "slot 7 read the ProgId of its third argument");
  CheckCode(reinterpret_cast<OnDisconnectionSlot>(slots[8])(addin.Get(), ext_dm_UserClosed, &custom), S_OK,
            "slot 8 (OnDisconnection)");

  // By name and by DISPID.
  const wchar_t* names[] = {L"OnConnection", L"OnDisconnection", L"OnAddInsUpdate", L"OnStartupComplete",
                            L"onbeginshutdown"};
  for (DISPID expected = 1; expected <= 5; ++expected) {
    LPOLESTR name = const_cast<LPOLESTR>(names[expected - 1]);
    DISPID id = 0;
    const HRESULT found = dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    Check(found == S_OK && id == expected, "GetIDsOfNames " + Narrow(names[expected - 1]) + " is " +
                                               std::to_string(expected));
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Show");
  DISPID none = 0;
  CheckCode(dispatch->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &none), DISP_E_UNKNOWNNAME,
            "GetIDsOfNames of another name");

  VARIANT customArgument;
  customArgument.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
  customArgument.pparray = &custom;
  CheckCode(InvokeMethod(dispatch.Get(), 1, {Object(&application), Number(ext_cm_AfterStartup), Object(&instance),
                                             customArgument}),
            S_OK, "Invoke DISPID 1 (OnConnection)");
  const int readsByInvoke = instance.reads;
  Check(readsByInvoke == readsBefore + 2, "Invoke OnConnection read the ProgId");
  CheckCode(InvokeMethod(dispatch.Get(), 4, {Missing()}), S_OK, "Invoke DISPID 4 (OnStartupComplete)");
  CheckCode(InvokeMethod(dispatch.Get(), 3, {customArgument}), S_OK, "Invoke DISPID 3 (OnAddInsUpdate)");
  CheckCode(InvokeMethod(dispatch.Get(), 5, {customArgument}), S_OK, "Invoke DISPID 5 (OnBeginShutdown)");
  CheckCode(InvokeMethod(dispatch.Get(), 2, {Number(ext_dm_HostShutdown), customArgument}), S_OK,
            "Invoke DISPID 2 (OnDisconnection)");

  EXCEPINFO info{};
  CheckCode(InvokeMethod(dispatch.Get(), 1, {Object(nullptr), Number(1), Object(nullptr), Missing()}, &info),
            DISP_E_EXCEPTION, "Invoke OnConnection without an add-in instance reports an exception");
  Check(info.scode == static_cast<HRESULT>(0x800A005B) && info.bstrDescription != nullptr &&
            std::wstring(info.bstrDescription) == L"Object variable or With block variable not set",
        "its EXCEPINFO: error 91 with the runtime's text");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  CheckCode(InvokeMethod(dispatch.Get(), 2, {Number(0), Missing()}), S_OK, "Invoke OnDisconnection after it");

  CheckCode(InvokeMethod(dispatch.Get(), 1, {Object(&application), Number(1), Object(&instance)}),
            DISP_E_BADPARAMCOUNT, "Invoke OnConnection with three arguments");
  VARIANT word;
  word.vt = VT_BSTR;
  word.bstrVal = SysAllocString(L"startup");
  UINT argError = 99;
  CheckCode(InvokeMethod(dispatch.Get(), 1, {Object(&application), word, Object(&instance), Missing()}, nullptr,
                         &argError),
            DISP_E_TYPEMISMATCH, "Invoke OnConnection with a word for the connect mode");
  Check(argError == 2, "the mismatch names the connect mode, argument 2 counted from the last");
  SysFreeString(word.bstrVal);
  Check(instance.reads == readsByInvoke, "no refused call reached the core");

  addin.Reset();
  dispatch.Reset();
  identity.Reset();
  viaAddin.Reset();
  SafeArrayDestroy(custom);
  Check(application.References() == 1 && instance.References() == 1 && refusing.References() == 1,
        "the add-in let go of every host object it took");
}

int Run() {
  CheckEntryGuard();

  const std::wstring progIdKey = L"Software\\Classes\\DWLOutlookAddin.Connect\\CLSID";
  const std::wstring clsidText = ReadText(progIdKey, nullptr);
  CLSID clsid{};
  Check(!clsidText.empty() && SUCCEEDED(CLSIDFromString(clsidText.c_str(), &clsid)),
        "HKCU\\" + Narrow(progIdKey) + " holds a CLSID: " + Narrow(clsidText));
  const std::wstring serverKey = L"Software\\Classes\\CLSID\\" + clsidText + L"\\InprocServer32";
  const std::wstring path = ReadText(serverKey, nullptr);
  Check(!path.empty(), "InprocServer32 names the DLL");
  Check(ReadText(serverKey, L"ThreadingModel") == L"Apartment", "ThreadingModel is Apartment");
  if (failures > 0) return 1;

  HMODULE dll = LoadLibraryW(path.c_str());
  Check(dll != nullptr, "LoadLibrary of the registered path");
  if (dll == nullptr) return 1;
  // Winsock started while the DLL loads would start under the loader lock.
  const bool winsockStarted = WSACleanup() != SOCKET_ERROR || WSAGetLastError() != WSANOTINITIALISED;
  Check(!winsockStarted, "loading the DLL does not start Winsock");
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  auto canUnloadNow =
      reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  Check(getClassObject && canUnloadNow, "DllGetClassObject and DllCanUnloadNow are exported undecorated");
  if (!getClassObject || !canUnloadNow) return 1;

  CheckCode(canUnloadNow(), S_OK, "DllCanUnloadNow before any object");
  ComPtr<IClassFactory> factory;
  CheckCode(getClassObject(GUID_NULL, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE,
            "DllGetClassObject of another class");
  CheckCode(getClassObject(clsid, IID_PPV_ARGS(&factory)), S_OK, "DllGetClassObject of the registered CLSID");
  if (!factory) return 1;
  CheckCode(canUnloadNow(), S_FALSE, "DllCanUnloadNow while a class factory lives");
  CheckCode(factory->LockServer(TRUE), S_OK, "LockServer(TRUE)");
  factory.Reset();
  CheckCode(canUnloadNow(), S_FALSE, "DllCanUnloadNow while the server is locked");
  getClassObject(clsid, IID_PPV_ARGS(&factory));
  CheckCode(factory->LockServer(FALSE), S_OK, "LockServer(FALSE)");

  FakeDispatch outer;
  ComPtr<IUnknown> object;
  CheckCode(factory->CreateInstance(&outer, IID_PPV_ARGS(&object)), CLASS_E_NOAGGREGATION,
            "CreateInstance refuses aggregation");
  CheckCode(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK, "CreateInstance");
  factory.Reset();
  if (object) {
    CheckCode(canUnloadNow(), S_FALSE, "DllCanUnloadNow while the Connect object lives");
    CheckConnect(object.Get());
    object.Reset();
  }
  CheckCode(canUnloadNow(), S_OK, "DllCanUnloadNow once everything is released");
  Check(FreeLibrary(dll) != 0, "FreeLibrary");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string option = argv[1];
    const bool help = option == "--help" || option == "-h";
    std::fputs("Usage: addin_test_host\n"
               "Loads the registered DWLOutlookAddin.dll (HKCU) and checks its class factory and\n"
               "Connect object by vtable and by IDispatch. Exit 0 when every check passed.\n",
               help ? stdout : stderr);
    return help ? 0 : 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    std::fputs("COM did not start\n", stderr);
    return 1;
  }
  const int code = Run();
  CoUninitialize();
  std::printf("%s\n", failures == 0 ? "all checks passed" : (std::to_string(failures) + " checks failed").c_str());
  return code;
}
