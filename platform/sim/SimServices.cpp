#include "platform/sim/SimServices.h"

#include <fstream>
#include <sstream>

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
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(errc::kFileNotFound, "LoadPicture", "File not found: " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  Picture picture{bytes.str()};
  const std::string& b = picture.bytes;
  const bool bmp = b.size() > 54 && b.compare(0, 2, "BM") == 0;
  const bool gif = b.compare(0, 6, "GIF87a") == 0 || b.compare(0, 6, "GIF89a") == 0;
  const bool jpeg = b.size() > 3 && b.compare(0, 3, "\xFF\xD8\xFF") == 0;
  if (!bmp && !gif && !jpeg) throw Error(481, "LoadPicture", "Invalid picture: " + path);
  names_[b] = path.substr(path.find_last_of("/\\") + 1);
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

std::vector<std::string> SimSafeMailItem::RecipientAddresses() {
  const SimMailItem& mail = Mail();
  std::vector<std::string> all = mail.to;
  all.insert(all.end(), mail.cc.begin(), mail.cc.end());
  all.insert(all.end(), mail.bcc.begin(), mail.bcc.end());
  return all;
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

std::shared_ptr<host::SafeMailItem> SimObjectFactory::CreateSafeMailItem(const std::string& progId) {
  if (!safeMailItemInstalled || progId != kSafeMailItemProgId) {
    throw Error(429, "CreateObject", "ActiveX component can't create object: " + progId);
  }
  return std::make_shared<SimSafeMailItem>();
}

}  // namespace dwl::sim
