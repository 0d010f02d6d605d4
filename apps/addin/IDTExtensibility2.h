// The host's add-in interface, IDTExtensibility2 of the Add-In Designer type
// library: a dual interface. Its five methods follow IDispatch's in the vtable
// (slots 7 to 11, __stdcall, all parameters in) and answer DISPIDs 1 to 5
// through Invoke; a host may call either way, so the add-in serves both.
// Shared by the add-in DLL and its test host.
#pragma once

#include <windows.h>

#include <oaidl.h>

// The host passes these as 32-bit enums; only 0 to 3 and 0 to 1 are Outlook's.
enum ext_ConnectMode : int {
  ext_cm_AfterStartup = 0,
  ext_cm_Startup = 1,
  ext_cm_External = 2,
  ext_cm_CommandLine = 3,
};
enum ext_DisconnectMode : int {
  ext_dm_HostShutdown = 0,
  ext_dm_UserClosed = 1,
};

struct IDTExtensibility2 : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                                 IDispatch* AddInInst, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
  virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

__CRT_UUID_DECL(IDTExtensibility2, 0xB65AD801, 0xABAF, 0x11D0, 0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44)

namespace dwl::addin {

inline constexpr IID kIidIDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};

// The methods' DISPIDs, in vtable order.
inline constexpr DISPID kDispidOnConnection = 1;
inline constexpr DISPID kDispidOnDisconnection = 2;
inline constexpr DISPID kDispidOnAddInsUpdate = 3;
inline constexpr DISPID kDispidOnStartupComplete = 4;
inline constexpr DISPID kDispidOnBeginShutdown = 5;

}  // namespace dwl::addin
