#include "apps/dwl/UploadRecord.h"

#include <cstdint>
#include <cstdio>

#include "mail/EmailQueue.h"
#include "platform/Error.h"
#include "platform/Platform.h"
#include "support/AppSettings.h"

namespace dwl::cli {

namespace {

// FNV-1a: a name for the list of paths, the same in every run.
std::uint64_t NameOf(const std::vector<std::string>& paths) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const std::string& path : paths) {
    for (const unsigned char byte : path + '\0') {
      hash ^= byte;
      hash *= 1099511628211ULL;
    }
  }
  return hash;
}

}  // namespace

UploadRecord::UploadRecord(const std::vector<std::string>& paths) {
  const char sep = ThePlatform().files->Separator();
  folder_ = AppSettings::Instance()->getApplicationDirectory() + "Uploads" + sep;
  char name[32];
  std::snprintf(name, sizeof name, "%016llX.txt", static_cast<unsigned long long>(NameOf(paths)));
  path_ = folder_ + name;
}

bool UploadRecord::Resume(Email& email) {
  FileSystem& files = *ThePlatform().files;
  if (!files.FileExists(path_)) return false;
  std::shared_ptr<Email> earlier;
  try {
    earlier = EmailQueue::ReadQueueFile(path_);
  } catch (const Error&) {
    Remove();
    return false;
  }
  email.set_ID(earlier->get_ID());
  email.set_CreatedOnServer(earlier->get_CreatedOnServer());
  for (const auto& held : earlier->get_attachments()) {
    if (held == nullptr) continue;
    for (const auto& attachment : email.get_attachments()) {
      if (attachment == nullptr || attachment->get_FilePath() != held->get_FilePath()) continue;
      attachment->set_ID(held->get_ID());
      attachment->set_UploadSize(held->get_UploadSize());
      attachment->set_UploadModified(held->get_UploadModified());
    }
  }
  return true;
}

void UploadRecord::Save(const Email& email) {
  if (!email.ServerHoldsSome()) return;
  FileSystem& files = *ThePlatform().files;
  if (!files.FolderExists(folder_)) files.CreateFolder(folder_, FileAccess::Private);
  EmailQueue::Instance()->RewriteQueueFile(email, path_);
}

void UploadRecord::Remove() {
  FileSystem& files = *ThePlatform().files;
  if (files.FileExists(path_)) files.RemoveFile(path_);
}

}  // namespace dwl::cli
