#include "platform/sim/SimServices.h"

#include <fstream>
#include <sstream>

#include "platform/sim/SimFaults.h"

namespace dwl::sim {

void SimClipboard::SetBitmap(const Picture& picture) {
  text_.clear();
  picture_ = picture;
}

void SimClipboard::SetText(const std::string& text) {
  picture_.reset();
  text_ = text;
}

void SimClipboard::Clear() {
  text_.clear();
  picture_.reset();
}

Picture SimPictureFiles::LoadPicture(const std::string& path) {
  Picture picture = files_.LoadPicture(path);
  names_[picture.bytes] = path.substr(path.find_last_of("/\\") + 1);
  return picture;
}

std::string SimPictureFiles::NameOf(const Picture& picture) const {
  const auto found = names_.find(picture.bytes);
  return found == names_.end() ? "" : found->second;
}

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
  const SimMailItem& mail = Mail();
  auto list = std::make_shared<List>();
  for (const auto* kind : {&mail.to, &mail.cc, &mail.bcc}) {
    list->addresses.insert(list->addresses.end(), kind->begin(), kind->end());
  }
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

std::string SimSettingsStore::GetSetting(const std::string& appName, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) {
  const auto found = values_.find(appName + "\\" + section + "\\" + key);
  return found == values_.end() ? defaultValue : found->second;
}

void SimSettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                   const std::string& key, const std::string& value) {
  values_[appName + "\\" + section + "\\" + key] = value;
}

void SimDialogWindow::Hide() {
  shown = false;
  focus.clear();
}

void SimDialogWindow::DoEvents() {
  if (duringEvents) {
    auto action = std::move(duringEvents);
    duringEvents = nullptr;
    action();
  }
}

bool SimDialogWindow::SetFocus(const std::string& control) {
  if (!shown) return false;
  focus = control;
  return true;
}

std::optional<std::string> SimFileDialogs::ShowOpen(const OpenFileRequest& request) {
  lastRequest = request;
  auto choice = std::move(nextChoice);
  nextChoice.reset();
  if (!choice || choice->empty()) return std::nullopt;
  // As the system returns it: one full path, or the folder and the names.
  if (choice->size() == 1) return choice->front() + '\0';
  const std::string& first = choice->front();
  const std::string folder = first.substr(0, first.find_last_of('/'));
  std::string buffer = folder + '\0';
  for (const std::string& path : *choice) {
    if (path.substr(0, path.find_last_of('/')) != folder) {
      throw Error(errc::kInvalidCall, "FileDialogs.ShowOpen", "the chosen files must share a folder");
    }
    buffer += path.substr(path.find_last_of('/') + 1) + '\0';
  }
  return buffer + '\0';
}

void SimTransferAgent::Start(const std::string& moduleFolder) {
  commandLines.push_back(moduleFolder + "/TransferAgent -o");
  running = true;
}

std::shared_ptr<host::SafeMailItem> SimObjectFactory::CreateSafeMailItem(const std::string& progId) {
  if (!safeMailItemInstalled || progId != kSafeMailItemProgId) {
    throw Error(429, "CreateObject", "ActiveX component can't create object: " + progId);
  }
  return SimFaults::Current().Hand<host::SafeMailItem>("CreateObject", std::make_shared<SimSafeMailItem>());
}

}  // namespace dwl::sim
