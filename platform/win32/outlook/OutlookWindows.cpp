#include "platform/win32/outlook/OutlookWindows.h"

#include <utility>

#include "platform/win32/outlook/EventSink.h"
#include "platform/win32/OutlookIds.h"
#include "platform/win32/outlook/OutlookCommandBars.h"
#include "platform/win32/outlook/OutlookItems.h"

namespace dwl::win32::outlook {
namespace {

// A handler of an event without arguments.
EventHandler Plain(std::function<void()> handler) {
  return [handler = std::move(handler)](EventArguments&) { handler(); };
}

}  // namespace

std::shared_ptr<host::Explorer> ExplorerFrom(Microsoft::WRL::ComPtr<IDispatch> object) {
  if (!object) return nullptr;
  return std::make_shared<ExplorerAdapter>(com::DispatchObject(std::move(object)));
}

std::shared_ptr<host::Inspector> InspectorFrom(Microsoft::WRL::ComPtr<IDispatch> object) {
  if (!object) return nullptr;
  return std::make_shared<InspectorAdapter>(com::DispatchObject(std::move(object)));
}

host::EventConnection ExplorerAdapter::OnClose(std::function<void()> handler) {
  return ConnectEvent(explorer_.Interface().Get(), {outlook_ids::kExplorerEvents10, outlook_ids::kExplorerEvents},
                      outlook_ids::dispid::kExplorerClose, Plain(std::move(handler)));
}

int ExplorersAdapter::Count() { return explorers_.Get("Count").ToInt32(); }  // DISPID 0x50

std::shared_ptr<host::OutlookItem> InspectorAdapter::CurrentItem() {
  auto item = inspector_.Get("CurrentItem").ToObject();  // DISPID 0x2102
  if (!item) return nullptr;
  return std::make_shared<ItemAdapter>(com::DispatchObject(std::move(item)));
}

std::string InspectorAdapter::Caption() { return inspector_.Get("Caption").ToText(); }  // DISPID 0x2111

std::shared_ptr<host::CommandBars> InspectorAdapter::GetCommandBars() {
  return CommandBarsFrom(inspector_.Get("CommandBars").ToObject());  // DISPID 0x2100
}

host::EventConnection InspectorAdapter::OnActivate(std::function<void()> handler) {
  return ConnectEvent(inspector_.Interface().Get(), {outlook_ids::kInspectorEvents10, outlook_ids::kInspectorEvents},
                      outlook_ids::dispid::kActivate, Plain(std::move(handler)));
}

int InspectorsAdapter::Count() { return inspectors_.Get("Count").ToInt32(); }  // DISPID 0x50

std::shared_ptr<host::Inspector> InspectorsAdapter::Item(int index) {
  return InspectorFrom(inspectors_.Call("Item", index).ToObject());  // DISPID 0
}

host::EventConnection InspectorsAdapter::OnNewInspector(
    std::function<void(std::shared_ptr<host::Inspector>)> handler) {
  return ConnectEvent(inspectors_.Interface().Get(), {outlook_ids::kInspectorsEvents}, outlook_ids::dispid::kNewInspector,
                      [handler = std::move(handler)](EventArguments& arguments) {
                        handler(InspectorFrom(arguments.Object(0)));
                      });
}

}  // namespace dwl::win32::outlook
