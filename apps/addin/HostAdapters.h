// The seam between the host's own objects, which OnConnection passes as
// IDispatch, and the core's host objects (platform/OutlookObjects.h). The
// COM object is given one HostAdapters and asks it on every connection.
// Host thread only.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "platform/OutlookObjects.h"

namespace dwl::addin {

class HostAdapters {
 public:
  virtual ~HostAdapters() = default;
  // nullptr for a null `application`, or when no adapter can serve it.
  virtual std::shared_ptr<host::Application> ApplicationFrom(IDispatch* application) = 0;
  // nullptr for a null `addInInst`.
  virtual std::shared_ptr<host::AddInInstance> AddInInstanceFrom(IDispatch* addInInst) = 0;
};

// Outlook's own objects, read by late binding: the application through
// platform/win32/outlook, the add-in instance's ProgId here.
class OutlookHostAdapters final : public HostAdapters {
 public:
  std::shared_ptr<host::Application> ApplicationFrom(IDispatch* application) override;
  std::shared_ptr<host::AddInInstance> AddInInstanceFrom(IDispatch* addInInst) override;
};

}  // namespace dwl::addin
