// The add-in's registration, per user (no administrator needed): the COM
// class and its ProgID under HKCU\Software\Classes and Outlook's add-in key
// under HKCU\Software\Microsoft\Office\Outlook\Addins. A 32-bit DLL
// registered by a 32-bit process lands in the 32-bit view of the classes by
// itself; the Office key is shared by both views.
#pragma once

#include <windows.h>

#include <string>

namespace dwl::addin {

// DWLOutlookAddin.Connect's class, made once for this add-in and kept.
inline constexpr CLSID kConnectClsid = {
    0xB0F665BD, 0x45B0, 0x41ED, {0xA2, 0xB2, 0x02, 0xA3, 0xBA, 0xB6, 0x3B, 0x4C}};
inline constexpr const wchar_t* kConnectClsidText = L"{B0F665BD-45B0-41ED-A2B2-02A3BAB63B4C}";

// Writes every entry, the module at `modulePath` as the in-process server;
// on a failure removes what it wrote and returns the system's error.
HRESULT RegisterAddin(const std::wstring& modulePath);
// Removes the entries RegisterAddin writes and nothing else: a key that
// holds something else too (a TreatAs a user added) stays, without ours.
// Entries that are not there are no failure.
HRESULT UnregisterAddin();

}  // namespace dwl::addin
