// The host's event interfaces the adapters advise on, newest first, and the
// DISPIDs of the events followed. The newer interfaces (host version 10 on)
// are supersets of the older ones with the same DISPIDs.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace dwl::win32::outlook::events {

// {000630xx-0000-0000-C000-000000000046}: the host's own interface numbers.
constexpr GUID HostInterface(unsigned long first) {
  return GUID{first, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

inline constexpr GUID kExplorerEvents10 = HostInterface(0x0006300F);
inline constexpr GUID kExplorerEvents = HostInterface(0x0006304F);
inline constexpr GUID kInspectorsEvents = HostInterface(0x00063079);
inline constexpr GUID kInspectorEvents10 = HostInterface(0x0006302A);
inline constexpr GUID kInspectorEvents = HostInterface(0x0006307D);
inline constexpr GUID kItemEvents10 = HostInterface(0x0006302B);
inline constexpr GUID kItemEvents = HostInterface(0x0006303A);

inline constexpr DISPID kNewInspector = 0xF001;  // InspectorsEvents: (Inspector)
inline constexpr DISPID kActivate = 0xF001;      // InspectorEvents: ()
inline constexpr DISPID kItemClose = 0xF004;     // ItemEvents: (Cancel by reference)
inline constexpr DISPID kItemSend = 0xF005;      // ItemEvents: (Cancel by reference)
inline constexpr DISPID kExplorerClose = 0xF008; // ExplorerEvents: ()

// OlObjectClass of a mail item.
inline constexpr int kClassMail = 43;

}  // namespace dwl::win32::outlook::events
