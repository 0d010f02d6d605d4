#include "platform/win32/outlook/OutlookCommandBars.h"

#include <utility>

#include "platform/Error.h"
#include "platform/win32/OutlookIds.h"
#include "platform/win32/outlook/EventSink.h"

namespace dwl::win32::outlook {
namespace {

using com::ComVariant;
using Microsoft::WRL::ComPtr;

template <class Adapter>
std::shared_ptr<Adapter> AdapterFor(const ComVariant& value) {
  ComPtr<IDispatch> object = value.ToObject();
  if (!object) return nullptr;
  return std::make_shared<Adapter>(com::DispatchObject(std::move(object)));
}

}  // namespace

std::shared_ptr<host::CommandBars> CommandBarsFrom(ComPtr<IDispatch> object) {
  if (!object) return nullptr;
  return std::make_shared<CommandBarsAdapter>(com::DispatchObject(std::move(object)));
}

// FindControl(Type, Id, Tag, Visible): the criteria not given are left out,
// not passed as 0 or "", which would narrow the search.
std::shared_ptr<host::CommandBarControl> CommandBarsAdapter::FindControlById(int id) {
  return AdapterFor<CommandBarControlAdapter>(bars_.Call("FindControl", ComVariant::Missing(), id,
                                                         ComVariant::Missing(), ComVariant::Missing()));  // DISPID 0x60030008
}

std::shared_ptr<host::CommandBarControl> CommandBarsAdapter::FindControlByTag(const std::string& tag) {
  return AdapterFor<CommandBarControlAdapter>(bars_.Call("FindControl", ComVariant::Missing(), ComVariant::Missing(),
                                                         tag, ComVariant::Missing()));
}

std::shared_ptr<host::CommandBar> CommandBarsAdapter::Add(const std::string& name, int position, bool menuBar,
                                                          bool temporary) {
  return AdapterFor<CommandBarAdapter>(bars_.Call("Add", name, position, menuBar, temporary));  // DISPID 0x60030002
}

std::string CommandBarAdapter::Name() { return bar_.Get("Name").ToText(); }  // DISPID 0x6004000E

bool CommandBarAdapter::Enabled() { return bar_.Get("Enabled").ToBool(); }  // DISPID 0x60040005

void CommandBarAdapter::SetEnabled(bool enabled) { bar_.Put("Enabled", enabled); }

bool CommandBarAdapter::Visible() { return bar_.Get("Visible").ToBool(); }  // DISPID 0x6004001E

void CommandBarAdapter::SetVisible(bool visible) { bar_.Put("Visible", visible); }

int CommandBarAdapter::Protection() { return bar_.Get("Protection").ToInt32(); }  // DISPID 0x60040017

void CommandBarAdapter::SetProtection(int protection) { bar_.Put("Protection", protection); }

std::shared_ptr<host::CommandBarControls> CommandBarAdapter::Controls() {
  return AdapterFor<CommandBarControlsAdapter>(bar_.Get("Controls"));  // DISPID 0x60040003
}

void CommandBarAdapter::Delete() { bar_.Call("Delete"); }  // DISPID 0x60040004

int CommandBarControlsAdapter::Count() { return controls_.Get("Count").ToInt32(); }  // DISPID 0x60030001

std::shared_ptr<host::CommandBarControl> CommandBarControlsAdapter::Add(int type, int id, const std::string& parameter,
                                                                        int before, bool temporary) {
  return AdapterFor<CommandBarControlAdapter>(
      controls_.Call("Add", type, id, parameter, before, temporary));  // DISPID 0x60030000
}

template <class Interface>
int ControlMembers<Interface>::Id() {
  return control_.Get("Id").ToInt32();  // DISPID 0x60040013
}

template <class Interface>
std::string ControlMembers<Interface>::Tag() {
  return control_.Get("Tag").ToText();  // DISPID 0x60040023
}

template <class Interface>
void ControlMembers<Interface>::SetTag(const std::string& tag) {
  control_.Put("Tag", tag);
}

template <class Interface>
std::string ControlMembers<Interface>::Caption() {
  return control_.Get("Caption").ToText();  // DISPID 0x60040003
}

template <class Interface>
void ControlMembers<Interface>::SetCaption(const std::string& caption) {
  control_.Put("Caption", caption);
}

template <class Interface>
bool ControlMembers<Interface>::Visible() {
  return control_.Get("Visible").ToBool();  // DISPID 0x60040029
}

template <class Interface>
void ControlMembers<Interface>::SetVisible(bool visible) {
  control_.Put("Visible", visible);
}

template <class Interface>
bool ControlMembers<Interface>::Enabled() {
  return control_.Get("Enabled").ToBool();  // DISPID 0x6004000A
}

template <class Interface>
void ControlMembers<Interface>::SetEnabled(bool enabled) {
  control_.Put("Enabled", enabled);
}

template <class Interface>
std::shared_ptr<host::CommandBar> ControlMembers<Interface>::Parent() {
  return AdapterFor<CommandBarAdapter>(control_.Get("Parent"));  // DISPID 0x6004001C
}

template class ControlMembers<host::CommandBarControl>;
template class ControlMembers<host::CommandBarButton>;

std::shared_ptr<host::CommandBarButton> CommandBarControlAdapter::AsButton() {
  const int type = control_.Get("Type").ToInt32();  // DISPID 0x60040028
  if (type != host::office::kControlButton) {
    throw Error(errc::kTypeMismatch, "CommandBarControl.AsButton",
                "Type mismatch: the control is not a button (type " + std::to_string(type) + ")");
  }
  return std::make_shared<CommandBarButtonAdapter>(control_);
}

int CommandBarButtonAdapter::Style() { return control_.Get("Style").ToInt32(); }  // DISPID 0x6005000A

void CommandBarButtonAdapter::SetStyle(int style) { control_.Put("Style", style); }

void CommandBarButtonAdapter::PasteFace() { control_.Call("PasteFace"); }  // DISPID 0x60050005

host::EventConnection CommandBarButtonAdapter::OnClick(ClickHandler handler) {
  return ConnectEvent(control_.Interface().Get(), {office_ids::kCommandBarButtonEvents}, office_ids::dispid::kClick,
                      [handler = std::move(handler), self = control_.Interface()](EventArguments& arguments) {
                        ComPtr<IDispatch> ctrl = arguments.Object(0);
                        // Shared, so that the handler may take it as a button again.
                        const auto button =
                            std::make_shared<CommandBarButtonAdapter>(com::DispatchObject(ctrl ? ctrl : self));
                        bool cancelDefault = arguments.Flag(1);
                        handler(*button, cancelDefault);
                        arguments.SetFlag(1, cancelDefault);
                      });
}

}  // namespace dwl::win32::outlook
