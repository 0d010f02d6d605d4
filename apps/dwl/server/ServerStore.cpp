#include "apps/dwl/server/ServerStore.h"

#include <algorithm>
#include <filesystem>

#include "platform/Error.h"
#include "platform/Platform.h"
#include "support/GUID.h"
#include "support/TaggedFile.h"
#include "support/ValueText.h"

namespace dwl::server {

namespace {

// Creates the folder and the missing ones above it, the owner's only; one
// there already is left as it is.
void MakeFolder(const std::string& path) {
  FileSystem& files = *ThePlatform().files;
  if (files.FolderExists(path)) return;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty() && parent.string() != path) MakeFolder(parent.string());
  if (files.FolderExists(path)) return;  // "store/" after "store"
  try {
    files.CreateFolder(path, FileAccess::Private);
  } catch (const Error& failure) {
    throw Error(errc::kPathNotFound, "ServerStore", "Cannot create " + path + ": " + failure.Description());
  }
}

// The values of every <tag> entry of a tagged file, in order; none when there
// is no such file.
std::vector<std::string> TaggedValues(const std::string& path, const std::string& tag) {
  FileSystem& files = *ThePlatform().files;
  std::vector<std::string> values;
  if (!files.FileExists(path)) return values;
  const std::unique_ptr<TextReader> file = files.OpenTextForReading(path);
  TaggedFileReader in(*file);
  const std::string opening = "<" + tag + ">";
  while (const std::optional<std::string> line = in.NextLine()) {
    if (*line == opening) values.push_back(in.ReadValue());
  }
  return values;
}

}  // namespace

ServerStore::ServerStore(std::string folder) : folder_(folder.empty() ? std::string(".") : std::move(folder)) {
  for (const char* own : {"/files", "/emails"}) {
    MakeFolder(folder_ + own);
    // Folders of a store made before they were private become so.
    std::error_code ignored;
    std::filesystem::permissions(folder_ + own, std::filesystem::perms::group_all | std::filesystem::perms::others_all,
                                 std::filesystem::perm_options::remove, ignored);
  }
}

bool ServerStore::ValidId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

std::string ServerStore::NewAttachment(const std::string& filename, const std::string& emailId) {
  const std::string id = GuidWithoutBraces(CreateGuidString());
  WriteTaggedFile(AttachmentPath(id) + ".txt", AttachmentPath(id) + ".txt.new", FileAccess::Private,
                  [&](TaggedFileWriter& out) {
                    out.WriteEntry("Filename", filename);
                    out.WriteEntry("Email", emailId);
                  });
  // Opening for appending makes it empty and private; the bytes go in later.
  ThePlatform().files->OpenTextForAppending(AttachmentPath(id), FileAccess::Private);
  return id;
}

bool ServerStore::HasAttachment(const std::string& id) const {
  std::error_code error;
  return ValidId(id) && std::filesystem::is_regular_file(AttachmentPath(id), error);
}

std::string ServerStore::AttachmentEmail(const std::string& id) const {
  const std::vector<std::string> owners = TaggedValues(AttachmentPath(id) + ".txt", "Email");
  return owners.empty() ? std::string() : owners.back();
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
  const std::vector<std::string> finished = TaggedValues(EmailPath(id), "Finished");
  return !finished.empty() && finished.back() == FlagText(true);
}

std::vector<std::string> ServerStore::EmailAttachments(const std::string& id) const {
  return TaggedValues(EmailPath(id), "Attachment");
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

void ServerStore::AddRecipient(const std::string& emailId, const std::string& recipient) {
  const std::unique_ptr<TextWriter> out =
      ThePlatform().files->OpenTextForAppending(EmailPath(emailId), FileAccess::Private);
  TaggedFileWriter(*out).WriteEntry("Recipient", recipient);
}

}  // namespace dwl::server
