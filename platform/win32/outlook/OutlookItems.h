// The item an inspector shows, over the host's IDispatch: any kind of item,
// and a mail item once its class says it is one. Each adapter holds one
// reference to its object and lets go of it when it goes. Host thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/OutlookObjects.h"
#include "platform/win32/com/DispatchObject.h"

namespace dwl::win32::outlook {

class ItemAdapter final : public host::OutlookItem {
 public:
  explicit ItemAdapter(com::DispatchObject item) : item_(std::move(item)) {}

  // Fails with dwl::Error (13) unless the item's Class is a mail item's.
  std::shared_ptr<host::MailItem> AsMailItem() override;

 private:
  com::DispatchObject item_;
};

class MailItemAdapter final : public host::MailItem, public std::enable_shared_from_this<MailItemAdapter> {
 public:
  explicit MailItemAdapter(com::DispatchObject item) : item_(std::move(item)) {}

  std::shared_ptr<host::MailItem> AsMailItem() override { return shared_from_this(); }
  bool Sent() override;
  std::string Mileage() override;
  void SetMileage(const std::string& mileage) override;
  void Save() override;
  host::EventConnection OnSend(CancelHandler handler) override;
  host::EventConnection OnClose(CancelHandler handler) override;

  // The host's own object, for the safe mail item that works on it.
  const com::DispatchObject& Object() const { return item_; }

 private:
  host::EventConnection OnCancellable(DISPID event, CancelHandler handler);

  com::DispatchObject item_;
};

}  // namespace dwl::win32::outlook
