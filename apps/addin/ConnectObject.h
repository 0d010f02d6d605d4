// DWLOutlookAddin.Connect as COM sees it: IDTExtensibility2 with IDispatch
// and IUnknown on one vtable. It owns one dwl::Connect and forwards the host's
// calls to it, by vtable or by Invoke alike, turning the host's objects into
// the core's through the HostAdapters it is given. Every method is guarded:
// no exception reaches the host. Host thread only (apartment threaded).
#pragma once

#include <atomic>
#include <memory>

#include "addin/Connect.h"
#include "apps/addin/FilesWindow.h"
#include "apps/addin/HostAdapters.h"
#include "apps/addin/IDTExtensibility2.h"
#include "apps/addin/ServerModule.h"

namespace dwl::addin {

class ConnectObject final : public IDTExtensibility2 {
 public:
  // With one reference, which the caller owns. Installs the platform with
  // the first object of the process (may throw).
  explicit ConnectObject(HostAdapters& adapters);

  // The core object of the object made last while it lives, else null: what
  // the test entry shows of the add-in.
  static const Connect* NewestConnection();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // No type library: members are found by name or by their fixed DISPIDs.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                   UINT* argError) override;

  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                         IDispatch* AddInInst, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

 private:
  ~ConnectObject();

  // The attachments window on the screen, opened by the hub, unless a view
  // was given to it already (dwl sim gives its own).
  void ShowWindowsOnScreen();

  // The calls both routes share; they throw what the core throws.
  void Connection(IDispatch* application, int connectMode, IDispatch* addInInst);
  void Disconnection(int removeMode);
  void Notification(DISPID member);

  std::atomic<ULONG> references_{1};
  // First in, last out: the platform outlives the core object.
  ModuleReference module_;
  HostAdapters& adapters_;
  Connect connect_;
  // Kept while this object's window draws it.
  std::shared_ptr<frmFiles> files_;
  std::unique_ptr<FilesWindow> filesWindow_;
};

}  // namespace dwl::addin
