// Files and folders as the core sees them. Paths and text are UTF-8 inside the
// program; text files on disk are in the system's 8-bit code page and every
// line ends in CR LF. Every failure is thrown as dwl::Error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/LocalDateTime.h"

namespace dwl {

// Who may read what we create. Private is for account values and download
// passwords: only the owner may read such files and folders.
enum class FileAccess { Shared, Private };

// A text file open for reading, line by line.
class TextReader {
 public:
  virtual ~TextReader() = default;
  virtual bool AtEnd() = 0;
  // The next line without its terminator (CR LF, LF or CR). Throws
  // errc::kInputPastEndOfFile at the end of the file.
  virtual std::string ReadLine() = 0;
};

// A text file open for appending. Each line reaches the file at once, in one
// write, so several writers of one file append whole lines in call order.
class TextWriter {
 public:
  virtual ~TextWriter() = default;
  // Appends `line` followed by CR LF.
  virtual void WriteLine(const std::string& line) = 0;
};

// A file open for reading bytes at any position. Positions and lengths are
// 64-bit: attachments of many gigabytes are common.
class BinaryReader {
 public:
  virtual ~BinaryReader() = default;
  // The file's length now (it may change while the file is open).
  virtual std::uint64_t Length() = 0;
  // Reads exactly `count` bytes from `offset` (0 is the first byte) into
  // `into`. A file that ends earlier is an error (errc::kInputPastEndOfFile).
  virtual void ReadAt(std::uint64_t offset, char* into, std::size_t count) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // The separator that joins path components ('\\' on Windows, '/' elsewhere).
  virtual char Separator() const = 0;

  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  // Full paths of the plain files in `folder` (no sub-folders), in the order
  // the system lists them. A missing folder is an error.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  virtual std::uint64_t FileSize(const std::string& path) = 0;
  // When the file was made: the birth time where the file system records one,
  // else the oldest time it has.
  virtual LocalDateTime CreationTime(const std::string& path) = 0;
  // When the file's content last changed: nanoseconds since 1970-01-01 UTC,
  // as finely as the file system keeps them.
  virtual std::int64_t ModificationTime(const std::string& path) = 0;
  // Creates one folder; its parent must exist.
  virtual void CreateFolder(const std::string& path, FileAccess access) = 0;
  // Deletes a file. A read-only file is refused (an error), never overridden.
  virtual void RemoveFile(const std::string& path) = 0;
  // Moves `from` onto `to` in one step, replacing `to` if it exists.
  virtual void MoveReplacing(const std::string& from, const std::string& to) = 0;

  // Opens an existing regular file; like OpenBinaryForReading, it never
  // blocks and refuses anything else.
  virtual std::unique_ptr<TextReader> OpenTextForReading(const std::string& path) = 0;
  // Creates the file when missing (with `access`), else extends it; Private
  // also narrows an existing file to its owner.
  virtual std::unique_ptr<TextWriter> OpenTextForAppending(const std::string& path,
                                                           FileAccess access) = 0;
  // Opens an existing regular file for reading only; other programs may go on
  // reading and writing it. The opening never blocks: a folder, a FIFO (which
  // would wait for a writer) or a device is refused with errc::kPathFileAccess.
  virtual std::unique_ptr<BinaryReader> OpenBinaryForReading(const std::string& path) = 0;
};

}  // namespace dwl
