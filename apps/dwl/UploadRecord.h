// What `dwl upload` keeps of an e-mail it could not finish, so that the same
// command run again resumes that e-mail (RESM, and RESA for the files the
// server holds in part) instead of starting a new one and leaving the first
// one's partial files on the server. One record per list of paths, in the
// "Uploads" folder of the application folder, in the queue file's format.
#pragma once

#include <string>
#include <vector>

#include "mail/Email.h"

namespace dwl::cli {

class UploadRecord {
 public:
  // The record of these paths, in this order, as the command line gave them.
  explicit UploadRecord(const std::vector<std::string>& paths);

  // Gives `email`, made anew from the same paths, the earlier run's e-mail id
  // and what the server holds of each file; false when there is no record
  // (or one that cannot be read, which is then dropped).
  bool Resume(Email& email);
  // Keeps what the server holds of `email`, when it holds anything.
  void Save(const Email& email);
  // The e-mail needs no resuming any more.
  void Remove();

  const std::string& Path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace dwl::cli
