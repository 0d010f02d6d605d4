// Outlook's own numbers: the event interfaces' DIIDs, the event DISPIDs and
// the member DISPIDs, as Outlook's type library gives them, and Office's for
// the command bars an Outlook window has. The adapters
// (platform/win32/outlook) call Outlook by them; the simulated Outlook over
// COM (platform/win32/simcom) answers to them.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace dwl::win32::outlook_ids {

// Outlook's GUIDs differ only in their first part.
constexpr GUID OutlookGuid(unsigned long first) {
  return GUID{first, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

// Event interfaces. The _10 ones came with Outlook 2002 (version 10) and are
// supersets of the older ones with the same DISPIDs.
inline constexpr GUID kExplorerEvents = OutlookGuid(0x0006304F);
inline constexpr GUID kExplorerEvents10 = OutlookGuid(0x0006300F);
inline constexpr GUID kInspectorsEvents = OutlookGuid(0x00063079);
inline constexpr GUID kInspectorEvents = OutlookGuid(0x0006307D);
inline constexpr GUID kInspectorEvents10 = OutlookGuid(0x0006302A);
inline constexpr GUID kItemEvents = OutlookGuid(0x0006303A);
inline constexpr GUID kItemEvents10 = OutlookGuid(0x0006302B);

namespace dispid {
// Events.
inline constexpr DISPID kNewInspector = 0xF001;
inline constexpr DISPID kActivate = 0xF001;
inline constexpr DISPID kItemClose = 0xF004;
inline constexpr DISPID kSend = 0xF005;
inline constexpr DISPID kExplorerClose = 0xF008;
// _Application.
inline constexpr DISPID kGetNamespace = 272;
inline constexpr DISPID kActiveExplorer = 273;
inline constexpr DISPID kActiveInspector = 274;
inline constexpr DISPID kVersion = 278;
inline constexpr DISPID kProductCode = 284;
inline constexpr DISPID kExplorers = 281;
inline constexpr DISPID kInspectors = 282;
// _Explorers, _Inspectors.
inline constexpr DISPID kCount = 80;
inline constexpr DISPID kItem = 0;
// _Inspector.
inline constexpr DISPID kCommandBars = 0x2100;
inline constexpr DISPID kCurrentItem = 0x2102;
inline constexpr DISPID kCaption = 0x2111;
// _MailItem.
inline constexpr DISPID kClass = 0xF00A;
inline constexpr DISPID kSent = 0xF402;
inline constexpr DISPID kSubject = 0x37;
inline constexpr DISPID kBody = 0x9100;
inline constexpr DISPID kHTMLBody = 0xF404;
inline constexpr DISPID kBodyFormat = 0xFA49;
// Recipients and Attachments; each has Count (kCount) and an Item that is not
// the default member. A recipient's Address.
inline constexpr DISPID kRecipients = 0xF814;
inline constexpr DISPID kAttachments = 0xF815;
inline constexpr DISPID kListItem = 0x51;
inline constexpr DISPID kAddress = 0x3003;
inline constexpr DISPID kMileage = 0x8534;
inline constexpr DISPID kSave = 0xF048;
}  // namespace dispid

// OlObjectClass of a mail item.
inline constexpr int kClassMail = 43;

}  // namespace dwl::win32::outlook_ids

// Office's command bars. Its DISPIDs were assigned by the compiler, yet
// Office 2000 and Office 2013 agree on them.
namespace dwl::win32::office_ids {

// Office's GUIDs follow the same pattern.
inline constexpr GUID kCommandBarButtonEvents = outlook_ids::OutlookGuid(0x000C0351);

namespace dispid {
// _CommandBarButtonEvents: Click(Ctrl, CancelDefault).
inline constexpr DISPID kClick = 1;
// _CommandBars.
inline constexpr DISPID kBarsAdd = 0x60030002;
inline constexpr DISPID kFindControl = 0x60030008;
// CommandBar.
inline constexpr DISPID kBarControls = 0x60040003;
inline constexpr DISPID kBarDelete = 0x60040004;
inline constexpr DISPID kBarEnabled = 0x60040005;
inline constexpr DISPID kBarName = 0x6004000E;
inline constexpr DISPID kBarProtection = 0x60040017;
inline constexpr DISPID kBarVisible = 0x6004001E;
// CommandBarControls.
inline constexpr DISPID kControlsAdd = 0x60030000;
inline constexpr DISPID kControlsCount = 0x60030001;
// CommandBarControl.
inline constexpr DISPID kControlCaption = 0x60040003;
inline constexpr DISPID kControlEnabled = 0x6004000A;
inline constexpr DISPID kControlId = 0x60040013;
inline constexpr DISPID kControlParent = 0x6004001C;
inline constexpr DISPID kControlTag = 0x60040023;
inline constexpr DISPID kControlType = 0x60040028;
inline constexpr DISPID kControlVisible = 0x60040029;
// _CommandBarButton, besides the control's members.
inline constexpr DISPID kPasteFace = 0x60050005;
inline constexpr DISPID kStyle = 0x6005000A;
}  // namespace dispid

// MsoControlType of a control that is not one of Office's kinds.
inline constexpr int kControlCustom = 0;

}  // namespace dwl::win32::office_ids
