#include "platform/portable/PortableFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "platform/portable/PortableClock.h"
#include "platform/portable/PosixError.h"

namespace dwl::portable {

namespace {

// Owns one file descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

class PosixTextReader : public TextReader {
 public:
  PosixTextReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  bool AtEnd() override {
    Fill();
    return pos_ == buffer_.size();
  }

  std::string ReadLine() override {
    if (AtEnd()) {
      throw Error(errc::kInputPastEndOfFile, "TextReader.ReadLine",
                  "Input past end of file: " + path_);
    }
    std::string line;
    for (;;) {
      if (pos_ == buffer_.size() && !Fill()) return line;  // last line without terminator
      const char c = buffer_[pos_++];
      if (c == '\n') return line;
      if (c == '\r') {
        if ((pos_ < buffer_.size() || Fill()) && buffer_[pos_] == '\n') ++pos_;
        return line;
      }
      line.push_back(c);
    }
  }

 private:
  // Makes unread bytes available; false at the end of the file.
  bool Fill() {
    if (pos_ < buffer_.size()) return true;
    if (eof_) return false;
    buffer_.resize(kChunk);
    ssize_t n;
    do {
      n = ::read(fd_.get(), buffer_.data(), kChunk);
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw PosixError(errno, "TextReader.ReadLine", path_);
    buffer_.resize(static_cast<std::size_t>(n));
    pos_ = 0;
    eof_ = n == 0;
    return n > 0;
  }

  static constexpr std::size_t kChunk = 64 * 1024;
  ScopedFd fd_;
  std::string path_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
};

class PosixTextWriter : public TextWriter {
 public:
  PosixTextWriter(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  void WriteLine(const std::string& line) override {
    std::string bytes = line;
    bytes += "\r\n";
    // O_APPEND places the whole line at the end in one write.
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd_.get(), bytes.data() + done, bytes.size() - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw PosixError(errno, "TextWriter.WriteLine", path_);
      }
      done += static_cast<std::size_t>(n);
    }
  }

 private:
  ScopedFd fd_;
  std::string path_;
};

class PosixBinaryReader : public BinaryReader {
 public:
  PosixBinaryReader(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  std::uint64_t Length() override {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) throw PosixError(errno, "BinaryReader.Length", path_);
    return static_cast<std::uint64_t>(st.st_size);
  }

  void ReadAt(std::uint64_t offset, char* into, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_.get(), into + done, count - done,
                                static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw PosixError(errno, "BinaryReader.ReadAt", path_);
      }
      if (n == 0) {
        throw Error(errc::kInputPastEndOfFile, "BinaryReader.ReadAt",
                    "Input past end of file: " + path_);
      }
      done += static_cast<std::size_t>(n);
    }
  }

 private:
  ScopedFd fd_;
  std::string path_;
};

mode_t FileMode(FileAccess access) { return access == FileAccess::Private ? 0600 : 0644; }
mode_t FolderMode(FileAccess access) { return access == FileAccess::Private ? 0700 : 0755; }

// Opens a regular file for reading without ever blocking: opening a FIFO
// waits for a writer, which may never come, and a device may hang the same
// way. The file is opened non-blocking, looked at, and anything but a regular
// file is refused (errc::kPathFileAccess, "Is a folder" or "Not a file"); a
// regular file's descriptor then blocks as usual.
int OpenRegularForReading(const std::string& path, const char* source) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw PosixError(errno, source, path);
  ScopedFd opened(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw PosixError(errno, source, path);
  if (S_ISDIR(st.st_mode)) throw Error(errc::kPathFileAccess, source, "Is a folder: " + path);
  if (!S_ISREG(st.st_mode)) throw Error(errc::kPathFileAccess, source, "Not a file: " + path);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) throw PosixError(errno, source, path);
  return opened.release();
}

}  // namespace

bool PortableFileSystem::FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PortableFileSystem::FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> PortableFileSystem::ListFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) throw PosixError(errno, "FileSystem.ListFiles", folder);
  std::string prefix = folder;
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  std::vector<std::string> files;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    std::string path = prefix + entry->d_name;
    if (entry->d_type == DT_REG || (entry->d_type == DT_UNKNOWN && FileExists(path))) {
      files.push_back(std::move(path));
    }
  }
  const int error = errno;
  ::closedir(dir);
  if (error != 0) throw PosixError(error, "FileSystem.ListFiles", folder);
  return files;
}

std::uint64_t PortableFileSystem::FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw PosixError(errno, "FileSystem.FileSize", path);
  if (!S_ISREG(st.st_mode)) {
    throw Error(errc::kFileNotFound, "FileSystem.FileSize", "Not a file: " + path);
  }
  return static_cast<std::uint64_t>(st.st_size);
}

LocalDateTime PortableFileSystem::CreationTime(const std::string& path) {
  struct statx stx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_BASIC_STATS, &stx) != 0) {
    throw PosixError(errno, "FileSystem.CreationTime", path);
  }
  if (stx.stx_mask & STATX_BTIME) return ToLocalDateTime(stx.stx_btime.tv_sec);
  std::time_t oldest = stx.stx_mtime.tv_sec;
  if (stx.stx_ctime.tv_sec < oldest) oldest = stx.stx_ctime.tv_sec;
  if (stx.stx_atime.tv_sec < oldest) oldest = stx.stx_atime.tv_sec;
  return ToLocalDateTime(oldest);
}

std::int64_t PortableFileSystem::ModificationTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) throw PosixError(errno, "FileSystem.ModificationTime", path);
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void PortableFileSystem::CreateFolder(const std::string& path, FileAccess access) {
  if (::mkdir(path.c_str(), FolderMode(access)) != 0) {
    throw PosixError(errno, "FileSystem.CreateFolder", path);
  }
}

void PortableFileSystem::RemoveFile(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw PosixError(errno, "FileSystem.RemoveFile", path);
  // Without the owner's write permission a file is read-only, and that is
  // honoured even for root.
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    throw Error(errc::kPathFileAccess, "FileSystem.RemoveFile", "File is read-only: " + path);
  }
  if (S_ISDIR(st.st_mode)) {
    throw Error(errc::kPathFileAccess, "FileSystem.RemoveFile", "Not a file: " + path);
  }
  if (::unlink(path.c_str()) != 0) throw PosixError(errno, "FileSystem.RemoveFile", path);
}

void PortableFileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    throw PosixError(errno, "FileSystem.MoveReplacing", from + " -> " + to);
  }
}

std::unique_ptr<TextReader> PortableFileSystem::OpenTextForReading(const std::string& path) {
  return std::make_unique<PosixTextReader>(OpenRegularForReading(path, "FileSystem.OpenTextForReading"), path);
}

std::unique_ptr<TextWriter> PortableFileSystem::OpenTextForAppending(const std::string& path,
                                                                     FileAccess access) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, FileMode(access));
  if (fd < 0) throw PosixError(errno, "FileSystem.OpenTextForAppending", path);
  auto writer = std::make_unique<PosixTextWriter>(fd, path);
  if (access == FileAccess::Private) {
    // A file made before for everyone becomes the owner's only.
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw PosixError(errno, "FileSystem.OpenTextForAppending", path);
    if (S_ISREG(st.st_mode) && (st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0700) != 0) {
      throw PosixError(errno, "FileSystem.OpenTextForAppending", path);
    }
  }
  return writer;
}

std::unique_ptr<BinaryReader> PortableFileSystem::OpenBinaryForReading(const std::string& path) {
  return std::make_unique<PosixBinaryReader>(OpenRegularForReading(path, "FileSystem.OpenBinaryForReading"),
                                             path);
}

}  // namespace dwl::portable
