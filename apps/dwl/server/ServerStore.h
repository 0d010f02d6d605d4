// What the reference transfer server keeps, below one folder, so that an
// interrupted upload resumes on a later connection, also after a restart:
//   files/<attachment id>       the bytes received of each file
//   files/<attachment id>.txt   the file's name (a tagged file)
//   emails/<e-mail id>.txt      subject, password, recipients, body lines and
//                               the e-mail's files (a tagged file)
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
  // A new, empty file under a new id.
  std::string NewAttachment(const std::string& filename);
  bool HasAttachment(const std::string& id) const;
  // Forgets a file and its name.
  void RemoveAttachment(const std::string& id);
  std::uint64_t AttachmentSize(const std::string& id) const;
  std::string AttachmentPath(const std::string& id) const;
  void SaveEmail(const StoredEmail& email);
  // Whether the e-mail was finished on an earlier connection.
  bool EmailFinished(const std::string& id) const;
  std::string EmailPath(const std::string& id) const;

 private:
  std::string folder_;
};

}  // namespace dwl::server
