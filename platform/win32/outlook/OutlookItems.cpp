#include "platform/win32/outlook/OutlookItems.h"

#include <utility>

#include "platform/Error.h"
#include "platform/win32/outlook/EventSink.h"
#include "platform/win32/OutlookIds.h"

namespace dwl::win32::outlook {

std::shared_ptr<host::MailItem> ItemAdapter::AsMailItem() {
  const int itemClass = item_.Get("Class").ToInt32();  // DISPID 0xF00A
  if (itemClass != outlook_ids::kClassMail) {
    throw Error(errc::kTypeMismatch, "OutlookItem.AsMailItem",
                "Type mismatch: the item is not a mail item (class " + std::to_string(itemClass) + ")");
  }
  return std::make_shared<MailItemAdapter>(item_);
}

bool MailItemAdapter::Sent() { return item_.Get("Sent").ToBool(); }  // DISPID 0xF402

std::string MailItemAdapter::Mileage() { return item_.Get("Mileage").ToText(); }  // DISPID 0x8534

void MailItemAdapter::SetMileage(const std::string& mileage) { item_.Put("Mileage", mileage); }

void MailItemAdapter::Save() { item_.Call("Save"); }  // DISPID 0xF048

host::EventConnection MailItemAdapter::OnSend(CancelHandler handler) {
  return OnCancellable(outlook_ids::dispid::kSend, std::move(handler));
}

host::EventConnection MailItemAdapter::OnClose(CancelHandler handler) {
  return OnCancellable(outlook_ids::dispid::kItemClose, std::move(handler));
}

host::EventConnection MailItemAdapter::OnCancellable(DISPID event, CancelHandler handler) {
  return ConnectEvent(item_.Interface().Get(), {outlook_ids::kItemEvents10, outlook_ids::kItemEvents}, event,
                      [handler = std::move(handler)](EventArguments& arguments) {
                        bool cancel = arguments.Flag(0);
                        handler(cancel);
                        arguments.SetFlag(0, cancel);
                      });
}

}  // namespace dwl::win32::outlook
