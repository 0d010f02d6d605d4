// The host's object model shown as COM objects with Outlook's member names,
// DISPIDs, event interfaces and connection points, so that code written for
// Outlook can be driven by the simulated one. Each object wraps one host
// object, answers through it and passes its events to the sinks advised on
// it. A host whose Version is below 10 offers only the event interfaces
// Outlook 2000 had; later ones offer the _10 interfaces too. Objects live
// while a client holds them (LiveObjectCount() counts them). One thread,
// the apartment's, which is also the host's.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/OutlookObjects.h"
#include "platform/win32/simcom/AutomationObject.h"

namespace dwl::win32::simcom {

// The Application object; Nothing for none.
Microsoft::WRL::ComPtr<IDispatch> ExposeApplication(std::shared_ptr<host::Application> application);

// The add-in instance passed on connection; Nothing for none.
Microsoft::WRL::ComPtr<IDispatch> ExposeAddInInstance(std::shared_ptr<host::AddInInstance> instance);

// Whether a host of this Version has the _10 event interfaces.
bool HasEvents10(const std::string& version);

// A list that the add-in only counts: its Count asks `count` each time.
Microsoft::WRL::ComPtr<IDispatch> ExposeCount(std::function<int()> count);

// The objects reached from it; `events10` as the application says.
Microsoft::WRL::ComPtr<IDispatch> ExposeExplorer(std::shared_ptr<host::Explorer> explorer, bool events10);
Microsoft::WRL::ComPtr<IDispatch> ExposeInspectors(std::shared_ptr<host::Inspectors> inspectors, bool events10);
Microsoft::WRL::ComPtr<IDispatch> ExposeInspector(std::shared_ptr<host::Inspector> inspector, bool events10);
// A mail item, or an item of another kind without the mail item's members.
Microsoft::WRL::ComPtr<IDispatch> ExposeItem(std::shared_ptr<host::OutlookItem> item, bool events10);

// A window's command bars with Office's member names and DISPIDs. A control
// that is a button has the button's members too, and raises Click through
// _CommandBarButtonEvents with CancelDefault by reference.
Microsoft::WRL::ComPtr<IDispatch> ExposeCommandBars(std::shared_ptr<host::CommandBars> bars);
Microsoft::WRL::ComPtr<IDispatch> ExposeCommandBar(std::shared_ptr<host::CommandBar> bar);
Microsoft::WRL::ComPtr<IDispatch> ExposeCommandBarControls(std::shared_ptr<host::CommandBarControls> controls);
Microsoft::WRL::ComPtr<IDispatch> ExposeCommandBarControl(std::shared_ptr<host::CommandBarControl> control);

}  // namespace dwl::win32::simcom
