#include "apps/addin/ConnectObject.h"

#include <wrl/client.h>

#include <array>

#include "addin/frmAddIn.h"
#include "apps/addin/EntryGuard.h"
#include "dialogs/frmFiles.h"
#include "platform/win32/com/ComVariant.h"
#include "support/TolerantRun.h"

namespace dwl::addin {
namespace {

using Microsoft::WRL::ComPtr;

struct Member {
  const wchar_t* name;
  DISPID id;
  UINT argumentCount;
  // What the log calls a failure of it, by either route.
  const char* entry;
};

constexpr std::array<Member, 5> kMembers{{
    {L"OnConnection", kDispidOnConnection, 4, "Connect.OnConnection"},
    {L"OnDisconnection", kDispidOnDisconnection, 2, "Connect.OnDisconnection"},
    {L"OnAddInsUpdate", kDispidOnAddInsUpdate, 1, "Connect.OnAddInsUpdate"},
    {L"OnStartupComplete", kDispidOnStartupComplete, 1, "Connect.OnStartupComplete"},
    {L"OnBeginShutdown", kDispidOnBeginShutdown, 1, "Connect.OnBeginShutdown"},
}};

const Member* FindMember(DISPID id) {
  for (const Member& member : kMembers) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

// The host's custom array carries nothing the add-in uses.
const host::AddInEntry::Custom kNoCustom;

// An object argument of Invoke: nothing (empty, null, or a missing optional)
// is nullptr; an argument that is no object fails (false).
bool ObjectArgument(VARIANT& argument, ComPtr<IDispatch>& object) {
  if (argument.vt == VT_EMPTY || argument.vt == VT_NULL || argument.vt == VT_ERROR) {
    object.Reset();
    return true;
  }
  win32::com::ComVariant converted;
  if (FAILED(VariantChangeType(converted.Receive(), &argument, 0, VT_DISPATCH))) return false;
  object = converted.Get()->pdispVal;
  return true;
}

bool IntegerArgument(VARIANT& argument, int& value) {
  win32::com::ComVariant converted;
  if (FAILED(VariantChangeType(converted.Receive(), &argument, 0, VT_I4))) return false;
  value = static_cast<int>(converted.Get()->lVal);
  return true;
}

}  // namespace

namespace {
const Connect* newest = nullptr;
}  // namespace

ConnectObject::ConnectObject(HostAdapters& adapters) : adapters_(adapters) { newest = &connect_; }

ConnectObject::~ConnectObject() {
  if (newest == &connect_) newest = nullptr;
  if (filesWindow_ && files_->View() == filesWindow_.get()) files_->SetView(nullptr);
}

void ConnectObject::ShowWindowsOnScreen() {
  files_ = frmFiles::Instance();
  if (files_->View() == nullptr) {
    filesWindow_ = std::make_unique<FilesWindow>(*files_);
    files_->SetView(filesWindow_.get());
  }
  const auto hub = frmAddIn::Instance();
  if (hub->GetFileBrowser() == nullptr) hub->SetFileBrowser(files_.get());
}

const Connect* ConnectObject::NewestConnection() { return newest; }

HRESULT ConnectObject::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidIDTExtensibility2) {
    *object = static_cast<IDTExtensibility2*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectObject::AddRef() { return ++references_; }

ULONG ConnectObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ConnectObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ConnectObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT ConnectObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const Member& member : kMembers) {
    if (names[0] != nullptr && CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL) {
      ids[0] = member.id;
    }
  }
  // Parameters are not known by name.
  return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT ConnectObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excepInfo, UINT* argError) {
  const Member* member = FindMember(id);
  return Guarded(
      member != nullptr ? member->entry : "Connect.Invoke",
      [&]() -> HRESULT {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (member == nullptr || (flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        if (params == nullptr || (params->cArgs > 0 && params->rgvarg == nullptr)) return E_INVALIDARG;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        if (params->cArgs != member->argumentCount) return DISP_E_BADPARAMCOUNT;
        if (result != nullptr) VariantInit(result);
        // Arguments arrive last first.
        VARIANT* arguments = params->rgvarg;
        const auto mismatch = [&](UINT index) {
          if (argError != nullptr) *argError = index;
          return DISP_E_TYPEMISMATCH;
        };
        if (id == kDispidOnConnection) {
          ComPtr<IDispatch> application;
          ComPtr<IDispatch> addInInst;
          int connectMode = 0;
          if (!ObjectArgument(arguments[3], application)) return mismatch(3);
          if (!IntegerArgument(arguments[2], connectMode)) return mismatch(2);
          if (!ObjectArgument(arguments[1], addInInst)) return mismatch(1);
          Connection(application.Get(), connectMode, addInInst.Get());
        } else if (id == kDispidOnDisconnection) {
          int removeMode = 0;
          if (!IntegerArgument(arguments[1], removeMode)) return mismatch(1);
          Disconnection(removeMode);
        } else {
          Notification(id);
        }
        return S_OK;
      },
      excepInfo);
}

HRESULT ConnectObject::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                    IDispatch* AddInInst, SAFEARRAY**) {
  return Guarded("Connect.OnConnection", [&] {
    Connection(Application, ConnectMode, AddInInst);
    return S_OK;
  });
}

HRESULT ConnectObject::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY**) {
  return Guarded("Connect.OnDisconnection", [&] {
    Disconnection(RemoveMode);
    return S_OK;
  });
}

HRESULT ConnectObject::OnAddInsUpdate(SAFEARRAY**) {
  return Guarded("Connect.OnAddInsUpdate", [&] {
    Notification(kDispidOnAddInsUpdate);
    return S_OK;
  });
}

HRESULT ConnectObject::OnStartupComplete(SAFEARRAY**) {
  return Guarded("Connect.OnStartupComplete", [&] {
    Notification(kDispidOnStartupComplete);
    return S_OK;
  });
}

HRESULT ConnectObject::OnBeginShutdown(SAFEARRAY**) {
  return Guarded("Connect.OnBeginShutdown", [&] {
    Notification(kDispidOnBeginShutdown);
    return S_OK;
  });
}

// The host interface's handler and then the add-in designer's connection
// event, as a designer-made add-in sees them; the second runs even when the
// first failed, and the first failure is the call's.
void ConnectObject::Connection(IDispatch* application, int connectMode, IDispatch* addInInst) {
  const std::shared_ptr<host::Application> app = adapters_.ApplicationFrom(application);
  const std::shared_ptr<host::AddInInstance> instance = adapters_.AddInInstanceFrom(addInInst);
  TolerantRun run("Connect.OnConnection");
  run.Run([&] { ShowWindowsOnScreen(); });
  run.Run([&] { connect_.IDTExtensibility2_OnConnection(app, connectMode, instance, kNoCustom); });
  run.Run([&] { connect_.AddinInstance_OnConnection(app, connectMode, instance, kNoCustom); });
  if (run.HasPending()) throw *run.Pending();
}

void ConnectObject::Disconnection(int removeMode) {
  TolerantRun run("Connect.OnDisconnection");
  run.Run([&] { connect_.IDTExtensibility2_OnDisconnection(removeMode, kNoCustom); });
  run.Run([&] { connect_.AddinInstance_OnDisconnection(removeMode, kNoCustom); });
  if (run.HasPending()) throw *run.Pending();
}

void ConnectObject::Notification(DISPID member) {
  switch (member) {
    case kDispidOnAddInsUpdate: connect_.IDTExtensibility2_OnAddInsUpdate(kNoCustom); break;
    case kDispidOnStartupComplete: connect_.IDTExtensibility2_OnStartupComplete(kNoCustom); break;
    case kDispidOnBeginShutdown: connect_.IDTExtensibility2_OnBeginShutdown(kNoCustom); break;
    default: break;
  }
}

}  // namespace dwl::addin
