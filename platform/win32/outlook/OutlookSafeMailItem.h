// The safe mail item over IDispatch, in one of two ways. Made plain, it works
// on the host's own mail item: Outlook 2007 and later trust an in-process
// add-in that reaches the item through the Application it was given, so no
// security prompt appears. Made over an outside component's object, it hands
// the component the mail item (its Item property) and asks the component
// instead. Either way the members and their results are those of the
// simulated one: recipients of every kind in the message's order, 91 before
// an item is set, 13 for an item that is not the host's. Every other failure
// is the late-bound call's dwl::Error. Host thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/SafeMailItem.h"
#include "platform/win32/com/DispatchObject.h"

namespace dwl::win32::outlook {

class OutlookSafeMailItem final : public host::SafeMailItem {
 public:
  OutlookSafeMailItem() = default;
  explicit OutlookSafeMailItem(com::DispatchObject component) : component_(std::move(component)) {}

  // Takes the mail items of the host's adapters (MailItemAdapter) only.
  void SetItem(std::shared_ptr<host::MailItem> item) override;
  std::string Subject() override;
  std::shared_ptr<host::SafeRecipients> Recipients() override;
  std::shared_ptr<host::SafeAttachments> Attachments() override;
  std::string Body() override;
  void SetBody(const std::string& body) override;
  std::string HTMLBody() override;
  void SetHTMLBody(const std::string& html) override;
  void SetBodyFormat(int format) override;
  void Save() override;

 private:
  // What the members are asked of, once an item is set.
  com::DispatchObject& Target();

  com::DispatchObject component_;
  com::DispatchObject target_;
};

}  // namespace dwl::win32::outlook
