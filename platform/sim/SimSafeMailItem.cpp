#include "platform/sim/SimSafeMailItem.h"

#include "platform/Error.h"
#include "platform/sim/SimFaults.h"

namespace dwl::sim {

void SimSafeMailItem::SetItem(std::shared_ptr<host::MailItem> item) {
  auto mail = std::dynamic_pointer_cast<SimMailItem>(item);
  if (!mail) throw Error(errc::kTypeMismatch, "SafeMailItem.Item", "Type mismatch");
  mail_ = std::move(mail);
}

SimMailItem& SimSafeMailItem::Mail() {
  if (!mail_) throw Error(91, "SafeMailItem", "Object variable or With block variable not set");
  return *mail_;
}

std::shared_ptr<host::SafeRecipients> SimSafeMailItem::Recipients() {
  struct Recipient : host::SafeRecipient {
    explicit Recipient(std::string address) : address_(std::move(address)) {}
    std::string Address() override { return address_; }
    std::string address_;
  };
  struct List : host::SafeRecipients {
    std::vector<std::string> addresses;
    int Count() override { return static_cast<int>(addresses.size()); }
    std::shared_ptr<host::SafeRecipient> Item(int index) override {
      if (index < 1 || index > Count()) {
        throw Error(errc::kInvalidCall, "Recipients.Item", "Array index out of bounds");
      }
      return SimFaults::Current().Hand<host::SafeRecipient>(
          "Recipients.Item", std::make_shared<Recipient>(addresses[static_cast<std::size_t>(index - 1)]));
    }
  };
  auto list = std::make_shared<List>();
  list->addresses = Mail().AllRecipients();
  return SimFaults::Current().Hand<host::SafeRecipients>("SafeMailItem.Recipients", list);
}

std::shared_ptr<host::SafeAttachments> SimSafeMailItem::Attachments() {
  struct List : host::SafeAttachments {
    int count = 0;
    int Count() override { return count; }
  };
  auto list = std::make_shared<List>();
  list->count = Mail().hostAttachments;
  return SimFaults::Current().Hand<host::SafeAttachments>("SafeMailItem.Attachments", list);
}

void SimSafeMailItem::SetHTMLBody(const std::string& html) {
  Mail().htmlBody = html;
}

}  // namespace dwl::sim
