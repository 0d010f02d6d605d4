// The host's Application and the add-in instance over IDispatch: where the
// objects OnConnection passes become the core's host objects. Everything the
// core reaches from the application is derived from it, as the host's
// security guard wants. Each adapter holds one reference to its object and
// lets go of it when it goes. Host thread only.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <string>

#include "platform/OutlookObjects.h"
#include "platform/win32/com/DispatchObject.h"

namespace dwl::win32::outlook {

// nullptr for a null object.
std::shared_ptr<host::Application> ApplicationFrom(IDispatch* application);
std::shared_ptr<host::AddInInstance> AddInInstanceFrom(IDispatch* addInInst);

class ApplicationAdapter final : public host::Application {
 public:
  explicit ApplicationAdapter(com::DispatchObject application) : application_(std::move(application)) {}

  std::shared_ptr<host::NameSpace> GetNamespace(const std::string& type) override;
  // nullptr when the host has no such window.
  std::shared_ptr<host::Explorer> ActiveExplorer() override;
  std::shared_ptr<host::Explorers> GetExplorers() override;
  std::shared_ptr<host::Inspectors> GetInspectors() override;
  std::shared_ptr<host::Inspector> ActiveInspector() override;
  std::string Version() override;
  std::string ProductCode() override;

 private:
  com::DispatchObject application_;
};

// Kept only: the core holds the namespace for as long as it is connected.
class NameSpaceAdapter final : public host::NameSpace {
 public:
  explicit NameSpaceAdapter(com::DispatchObject nameSpace) : nameSpace_(std::move(nameSpace)) {}

 private:
  com::DispatchObject nameSpace_;
};

class AddInInstanceAdapter final : public host::AddInInstance {
 public:
  explicit AddInInstanceAdapter(com::DispatchObject instance) : instance_(std::move(instance)) {}

  std::string ProgId() override;

 private:
  com::DispatchObject instance_;
};

}  // namespace dwl::win32::outlook
