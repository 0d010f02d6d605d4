// What the reference transfer server keeps, below one folder, so that an
// interrupted upload resumes on a later connection, also after a restart:
//   files/<attachment id>       the bytes received of each file
//   files/<attachment id>.txt   the file's name and the e-mail it was made
//                               for (a tagged file)
//   emails/<e-mail id>.txt      subject, password, recipients, body lines and
//                               the e-mail's files (a tagged file)
// The folders it makes are the owner's only (0700), and so are the files
// (0600): they hold download passwords and what users sent.
// Failures are thrown as dwl::Error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dwl::server {

struct StoredEmail {
  std::string id;
  std::string subject;
  std::string password;
  std::vector<std::string> recipients;
  std::vector<std::string> bodyLines;
  std::vector<std::string> attachmentIds;  // in the order the client announced them
  bool finished = false;
};

class ServerStore {
 public:
  // Creates the folders when missing.
  explicit ServerStore(std::string folder);

  // Ids name files: letters, digits, "-" and "_", at most 64 of them.
  static bool ValidId(std::string_view id);

  const std::string& Folder() const { return folder_; }
  // A new, empty file under a new id, made for the e-mail `emailId`.
  std::string NewAttachment(const std::string& filename, const std::string& emailId);
  bool HasAttachment(const std::string& id) const;
  // The e-mail the file was made for; empty for a file from before the
  // store kept it.
  std::string AttachmentEmail(const std::string& id) const;
  // Forgets a file and its name.
  void RemoveAttachment(const std::string& id);
  std::uint64_t AttachmentSize(const std::string& id) const;
  std::string AttachmentPath(const std::string& id) const;
  void SaveEmail(const StoredEmail& email);
  // Adds one recipient to the record SaveEmail wrote, without writing the
  // rest again: a reader finds the recipients in the order they came.
  void AddRecipient(const std::string& emailId, const std::string& recipient);
  // Whether the e-mail was finished on an earlier connection.
  bool EmailFinished(const std::string& id) const;
  // The files of the e-mail's record; none when it has no record.
  std::vector<std::string> EmailAttachments(const std::string& id) const;
  std::string EmailPath(const std::string& id) const;

 private:
  std::string folder_;
};

}  // namespace dwl::server
