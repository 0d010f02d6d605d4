#include "apps/dwl/server/ServerStore.h"

#include <filesystem>
#include <fstream>

#include "platform/Error.h"
#include "platform/Platform.h"
#include "support/GUID.h"
#include "support/TaggedFile.h"
#include "support/ValueText.h"

namespace dwl::server {

namespace {

void MakeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) {
    throw Error(errc::kPathNotFound, "ServerStore", "Cannot create " + path + ": " + error.message());
  }
}

}  // namespace

ServerStore::ServerStore(std::string folder) : folder_(std::move(folder)) {
  if (folder_.empty()) folder_ = ".";
  MakeFolder(folder_ + "/files");
  MakeFolder(folder_ + "/emails");
}

bool ServerStore::ValidId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

std::string ServerStore::NewAttachment(const std::string& filename) {
  const std::string id = GuidWithoutBraces(CreateGuidString());
  WriteTaggedFile(AttachmentPath(id) + ".txt", AttachmentPath(id) + ".txt.new", FileAccess::Shared,
                  [&](TaggedFileWriter& out) { out.WriteEntry("Filename", filename); });
  std::ofstream create(AttachmentPath(id), std::ios::binary | std::ios::trunc);
  if (!create) throw Error(errc::kPathFileAccess, "ServerStore", "Cannot create " + AttachmentPath(id));
  return id;
}

bool ServerStore::HasAttachment(const std::string& id) const {
  std::error_code error;
  return ValidId(id) && std::filesystem::is_regular_file(AttachmentPath(id), error);
}

std::uint64_t ServerStore::AttachmentSize(const std::string& id) const {
  std::error_code error;
  const auto size = std::filesystem::file_size(AttachmentPath(id), error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

std::string ServerStore::AttachmentPath(const std::string& id) const {
  return folder_ + "/files/" + id;
}

void ServerStore::RemoveAttachment(const std::string& id) {
  std::error_code ignored;
  std::filesystem::remove(AttachmentPath(id), ignored);
  std::filesystem::remove(AttachmentPath(id) + ".txt", ignored);
}

std::string ServerStore::EmailPath(const std::string& id) const {
  return folder_ + "/emails/" + id + ".txt";
}

bool ServerStore::EmailFinished(const std::string& id) const {
  FileSystem& files = *ThePlatform().files;
  const std::string path = EmailPath(id);
  if (!files.FileExists(path)) return false;
  const std::unique_ptr<TextReader> file = files.OpenTextForReading(path);
  TaggedFileReader in(*file);
  bool finished = false;
  while (const std::optional<std::string> line = in.NextLine()) {
    if (*line == "<Finished>") finished = in.ReadValue() == FlagText(true);
  }
  return finished;
}

void ServerStore::SaveEmail(const StoredEmail& email) {
  const std::string path = EmailPath(email.id);
  WriteTaggedFile(path, path + ".new", FileAccess::Private, [&](TaggedFileWriter& out) {
    out.WriteEntry("Subject", email.subject);
    out.WriteEntry("Password", email.password);
    for (const std::string& recipient : email.recipients) out.WriteEntry("Recipient", recipient);
    for (const std::string& line : email.bodyLines) out.WriteEntry("BodyLine", line);
    for (const std::string& id : email.attachmentIds) out.WriteEntry("Attachment", id);
    out.WriteEntry("Finished", FlagText(email.finished));
  });
}

}  // namespace dwl::server
