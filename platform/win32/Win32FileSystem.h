// Files and folders through the wide Windows API: UTF-8 paths in, any length,
// any script. Text files are in the ANSI code page, each line converted through
// the installed CodePage. Private files and folders get a protected DACL that
// lets only the current user in.
#pragma once

#include "platform/FileSystem.h"

namespace dwl::win32 {

class Win32FileSystem : public FileSystem {
 public:
  char Separator() const override { return '\\'; }
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  std::uint64_t FileSize(const std::string& path) override;
  LocalDateTime CreationTime(const std::string& path) override;
  std::int64_t ModificationTime(const std::string& path) override;
  void CreateFolder(const std::string& path, FileAccess access) override;
  void RemoveFile(const std::string& path) override;
  void MoveReplacing(const std::string& from, const std::string& to) override;
  std::unique_ptr<TextReader> OpenTextForReading(const std::string& path) override;
  std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                   FileAccess access) override;
  std::unique_ptr<BinaryReader> OpenBinaryForReading(const std::string& path) override;
};

}  // namespace dwl::win32
