#include "mail/EmailAttachment.h"

#include "platform/Platform.h"

namespace dwl {

double FileSizeOrZero(const std::string& path) {
  if (path.empty()) return 0;
  try {
    return static_cast<double>(ThePlatform().files->FileSize(path));
  } catch (const Error&) {
    return 0;
  }
}

void EmailAttachment::set_FilePath(const std::string& FilePath) {
  filePath_ = FilePath;
  const auto cut = FilePath.rfind(ThePlatform().files->Separator());
  filename_ = cut == std::string::npos ? FilePath : FilePath.substr(cut + 1);
}

double EmailAttachment::get_Size() {
  if (size_ == 0 && !filePath_.empty()) size_ = FileSizeOrZero(filePath_);
  return size_;
}

bool EmailAttachment::FileSizeHasChanged() const { return size_ != FileSizeOrZero(filePath_); }

bool EmailAttachment::Exists() const {
  try {
    return !filePath_.empty() && ThePlatform().files->FileExists(filePath_);
  } catch (...) {
    return false;
  }
}

}  // namespace dwl
