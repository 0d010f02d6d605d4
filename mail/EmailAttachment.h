// One file attached to an outgoing e-mail: its path and name, the id that the
// transfer service gives it, its size in bytes (0 while unknown), and the
// file's size and modification time when its upload began, so that a later
// attempt resumes only the file the server holds a part of.
#pragma once

#include <cstdint>
#include <optional>
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

  // The file as it was when its upload began (size in bytes, modification
  // time as FileSystem::ModificationTime gives it); unset before.
  const std::optional<std::uint64_t>& get_UploadSize() const { return uploadSize_; }
  void set_UploadSize(std::optional<std::uint64_t> size) { uploadSize_ = size; }
  const std::optional<std::int64_t>& get_UploadModified() const { return uploadModified_; }
  void set_UploadModified(std::optional<std::int64_t> time) { uploadModified_ = time; }
  // Notes the file as it is now as the start of its upload, unless noted
  // already (a resumed file keeps what its first attempt noted). A file that
  // cannot be measured is not noted.
  void NoteUploadStart();
  // Whether the file's size or modification time is no longer what was
  // noted; false before its upload began and for a file that cannot be
  // measured (sending it fails anyway).
  bool ChangedSinceUploadBegan() const;
  // Forgets the id and what was noted: the next attempt sends the file as a
  // new one.
  void StartAfresh();

 private:
  std::string filePath_;
  std::string id_;
  double size_ = 0;
  std::optional<std::uint64_t> uploadSize_;
  std::optional<std::int64_t> uploadModified_;
  std::string filename_;
};

// The size of the file at `path` in bytes, or 0 when it cannot be read.
double FileSizeOrZero(const std::string& path);

}  // namespace dwl
