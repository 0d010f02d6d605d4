#include "platform/win32/outlook/OutlookSafeMailItem.h"

#include <cstdint>
#include <utility>

#include "platform/Error.h"
#include "platform/win32/outlook/OutlookItems.h"

namespace dwl::win32::outlook {
namespace {

// The runtime's "Object variable or With block variable not set".
constexpr long kObjectNotSet = 91;

com::DispatchObject ObjectIn(const com::ComVariant& value, const char* source) {
  Microsoft::WRL::ComPtr<IDispatch> object = value.ToObject();
  if (!object) throw Error(kObjectNotSet, source, "Object variable or With block variable not set");
  return com::DispatchObject(std::move(object));
}

class Recipient final : public host::SafeRecipient {
 public:
  explicit Recipient(com::DispatchObject recipient) : recipient_(std::move(recipient)) {}
  std::string Address() override { return recipient_.Get("Address").ToText(); }

 private:
  com::DispatchObject recipient_;
};

// A list of the host's, read when asked: it follows the message.
template <typename List>
class DispatchList : public List {
 public:
  explicit DispatchList(com::DispatchObject list) : list_(std::move(list)) {}
  int Count() override { return list_.Get("Count").ToInt32(); }

 protected:
  com::DispatchObject list_;
};

class RecipientList final : public DispatchList<host::SafeRecipients> {
 public:
  using DispatchList::DispatchList;
  std::shared_ptr<host::SafeRecipient> Item(int index) override {
    // Checked here: hosts and components word a bad index each their own way.
    if (index < 1 || index > Count()) {
      throw Error(errc::kInvalidCall, "Recipients.Item", "Array index out of bounds");
    }
    return std::make_shared<Recipient>(ObjectIn(list_.Call("Item", index), "Recipients.Item"));
  }
};

}  // namespace

void OutlookSafeMailItem::SetItem(std::shared_ptr<host::MailItem> item) {
  const auto mail = std::dynamic_pointer_cast<MailItemAdapter>(item);
  if (!mail) throw Error(errc::kTypeMismatch, "SafeMailItem.Item", "Type mismatch");
  if (!component_) {
    target_ = mail->Object();
    return;
  }
  component_.Put("Item", mail->Object().Interface());
  target_ = component_;
}

com::DispatchObject& OutlookSafeMailItem::Target() {
  if (!target_) throw Error(kObjectNotSet, "SafeMailItem", "Object variable or With block variable not set");
  return target_;
}

std::string OutlookSafeMailItem::Subject() { return Target().Get("Subject").ToText(); }

std::shared_ptr<host::SafeRecipients> OutlookSafeMailItem::Recipients() {
  return std::make_shared<RecipientList>(ObjectIn(Target().Get("Recipients"), "SafeMailItem.Recipients"));
}

std::shared_ptr<host::SafeAttachments> OutlookSafeMailItem::Attachments() {
  return std::make_shared<DispatchList<host::SafeAttachments>>(
      ObjectIn(Target().Get("Attachments"), "SafeMailItem.Attachments"));
}

std::string OutlookSafeMailItem::Body() { return Target().Get("Body").ToText(); }

void OutlookSafeMailItem::SetBody(const std::string& body) { Target().Put("Body", body); }

std::string OutlookSafeMailItem::HTMLBody() { return Target().Get("HTMLBody").ToText(); }

void OutlookSafeMailItem::SetHTMLBody(const std::string& html) { Target().Put("HTMLBody", html); }

void OutlookSafeMailItem::SetBodyFormat(int format) {
  Target().Put("BodyFormat", static_cast<std::int32_t>(format));
}

void OutlookSafeMailItem::Save() { Target().Call("Save"); }  // DISPID 0xF048

}  // namespace dwl::win32::outlook
