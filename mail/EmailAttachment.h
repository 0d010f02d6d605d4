// One file attached to an outgoing e-mail: its path and name, the id that the
// transfer service gives it, and its size in bytes (0 while unknown).
#pragma once

#include <string>

namespace dwl {

class EmailAttachment {
 public:
  const std::string& get_FilePath() const { return filePath_; }
  // Also derives the file name: everything after the last separator.
  void set_FilePath(const std::string& FilePath);
  const std::string& get_Filename() const { return filename_; }
  void set_Filename(const std::string& Filename) { filename_ = Filename; }
  const std::string& get_ID() const { return id_; }
  void set_ID(const std::string& ID) { id_ = ID; }
  // The stored size; while it is 0, the file's current size is read and kept
  // (a file that cannot be measured stays 0, without an error).
  double get_Size();
  void set_Size(double Size) { size_ = Size; }
  // Whether the file on disk no longer has the stored size; a file that
  // cannot be measured counts as 0 bytes. Exact for files of any size.
  bool FileSizeHasChanged() const;
  bool Exists() const;

 private:
  std::string filePath_;
  std::string id_;
  double size_ = 0;
  std::string filename_;
};

// The size of the file at `path` in bytes, or 0 when it cannot be read.
double FileSizeOrZero(const std::string& path);

}  // namespace dwl
