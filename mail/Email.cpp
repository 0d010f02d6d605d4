#include "mail/Email.h"

#include <algorithm>

#include "platform/Platform.h"

namespace dwl {

Email::Email() : settings_(AppSettings::Instance()) {}

void Email::set_ID(const std::string& lngId) {
  id_ = lngId;
  queueFilePath_ = settings_->getMailQueueDirectory() + lngId + ".txt";
}

void Email::AddRecipient(const std::string& strEmailaddress) {
  if (!recipients_.front().empty()) recipients_.emplace_back();
  recipients_.back() = strEmailaddress;
}

std::int32_t Email::NumberOfRecipients() const {
  return recipients_.front().empty() ? 0 : static_cast<std::int32_t>(recipients_.size());
}

std::int32_t Email::NumberOfAttachments() const {
  return attachments_.front() == nullptr ? 0 : static_cast<std::int32_t>(attachments_.size());
}

void Email::DeleteAllAttachments() { attachments_.assign(1, nullptr); }

void Email::AddAttachment(std::shared_ptr<EmailAttachment> objNewAttachment) {
  if (objNewAttachment == nullptr) return;  // an empty slot would hide in the middle
  sizeFromDisk_ = true;
  if (attachments_.front() != nullptr) attachments_.emplace_back();
  attachments_.back() = std::move(objNewAttachment);
}

bool Email::ServerHoldsSome() const {
  if (createdOnServer_) return true;
  return std::any_of(attachments_.begin(), attachments_.end(),
                     [](const auto& attachment) { return attachment != nullptr && !attachment->get_ID().empty(); });
}

double Email::Size() {
  if (attachments_.front() == nullptr) return 0;
  if (cachedSize_ > 0 && !sizeFromDisk_) return cachedSize_;
  double total = 0;
  for (const std::shared_ptr<EmailAttachment>& attachment : attachments_) {
    const double size = FileSizeOrZero(attachment->get_FilePath());
    attachment->set_Size(size);
    total += size;
  }
  cachedSize_ = total;
  sizeFromDisk_ = false;
  return total;
}

std::vector<std::string> Email::StartChangedFilesAfresh() {
  std::vector<std::string> changed;
  for (const std::shared_ptr<EmailAttachment>& attachment : attachments_) {
    if (attachment == nullptr || !attachment->ChangedSinceUploadBegan()) continue;
    attachment->StartAfresh();
    changed.push_back(attachment->get_FilePath());
  }
  sizeFromDisk_ = true;
  return changed;
}

LocalDateTime Email::CreationDateTime() const {
  if (queueFilePath_.empty()) {
    throw Error(errc::kFileNotFound, "Email.CreationDateTime", "The e-mail has no ID");
  }
  return ThePlatform().files->CreationTime(queueFilePath_);
}

}  // namespace dwl
