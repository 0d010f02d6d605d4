#include "mail/EmailAttachment.h"

#include "platform/Platform.h"

namespace dwl {

namespace {

struct FileState {
  std::uint64_t size;
  std::int64_t modified;
};

std::optional<FileState> StateOf(const std::string& path) {
  if (path.empty()) return std::nullopt;
  try {
    FileSystem& files = *ThePlatform().files;
    return FileState{files.FileSize(path), files.ModificationTime(path)};
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace

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

void EmailAttachment::NoteUploadStart() {
  if (uploadSize_ || uploadModified_) return;
  if (const std::optional<FileState> now = StateOf(filePath_)) {
    uploadSize_ = now->size;
    uploadModified_ = now->modified;
  }
}

bool EmailAttachment::ChangedSinceUploadBegan() const {
  if (!uploadSize_ && !uploadModified_) return false;
  const std::optional<FileState> now = StateOf(filePath_);
  // Half a record (a file edited by hand) cannot vouch for the file either.
  return now && (uploadSize_ != now->size || uploadModified_ != now->modified);
}

void EmailAttachment::StartAfresh() {
  id_.clear();
  uploadSize_.reset();
  uploadModified_.reset();
  size_ = 0;
}

}  // namespace dwl
