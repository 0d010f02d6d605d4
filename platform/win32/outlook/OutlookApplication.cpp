#include "platform/win32/outlook/OutlookApplication.h"

#include <utility>

#include "platform/Error.h"
#include "platform/win32/outlook/OutlookWindows.h"

namespace dwl::win32::outlook {
namespace {

using Microsoft::WRL::ComPtr;

// The runtime's number for using Nothing as an object.
constexpr long kObjectNotSet = 91;

// A collection the host must have: Nothing is a failure, not an empty one.
ComPtr<IDispatch> Required(com::ComVariant value, const char* member) {
  ComPtr<IDispatch> object = value.ToObject();
  if (!object) {
    throw Error(kObjectNotSet, std::string("Application.") + member,
                std::string("Object variable or With block variable not set: ") + member);
  }
  return object;
}

}  // namespace

std::shared_ptr<host::Application> ApplicationFrom(IDispatch* application) {
  if (!application) return nullptr;
  return std::make_shared<ApplicationAdapter>(com::DispatchObject(application));
}

std::shared_ptr<host::AddInInstance> AddInInstanceFrom(IDispatch* addInInst) {
  if (!addInInst) return nullptr;
  return std::make_shared<AddInInstanceAdapter>(com::DispatchObject(addInInst));
}

std::shared_ptr<host::NameSpace> ApplicationAdapter::GetNamespace(const std::string& type) {
  ComPtr<IDispatch> nameSpace = Required(application_.Call("GetNamespace", type), "GetNamespace");  // DISPID 0x110
  return std::make_shared<NameSpaceAdapter>(com::DispatchObject(std::move(nameSpace)));
}

std::shared_ptr<host::Explorer> ApplicationAdapter::ActiveExplorer() {
  return ExplorerFrom(application_.Call("ActiveExplorer").ToObject());  // DISPID 0x111
}

std::shared_ptr<host::Explorers> ApplicationAdapter::GetExplorers() {
  ComPtr<IDispatch> explorers = Required(application_.Get("Explorers"), "Explorers");  // DISPID 0x119
  return std::make_shared<ExplorersAdapter>(com::DispatchObject(std::move(explorers)));
}

std::shared_ptr<host::Inspectors> ApplicationAdapter::GetInspectors() {
  ComPtr<IDispatch> inspectors = Required(application_.Get("Inspectors"), "Inspectors");  // DISPID 0x11A
  return std::make_shared<InspectorsAdapter>(com::DispatchObject(std::move(inspectors)));
}

std::shared_ptr<host::Inspector> ApplicationAdapter::ActiveInspector() {
  return InspectorFrom(application_.Call("ActiveInspector").ToObject());  // DISPID 0x112
}

std::string ApplicationAdapter::Version() { return application_.Get("Version").ToText(); }  // DISPID 0x116

std::string ApplicationAdapter::ProductCode() { return application_.Get("ProductCode").ToText(); }  // DISPID 0x11C

std::string AddInInstanceAdapter::ProgId() { return instance_.Get("ProgId").ToText(); }

}  // namespace dwl::win32::outlook
