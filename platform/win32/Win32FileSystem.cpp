#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {

namespace {

// Owns one handle of a file or device.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// Owns memory the system gave out with LocalAlloc.
template <typename T>
class LocalMemory {
 public:
  LocalMemory() = default;
  ~LocalMemory() {
    if (pointer_ != nullptr) LocalFree(pointer_);
  }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;
  T get() const { return pointer_; }
  T* Receive() { return &pointer_; }

 private:
  T pointer_ = nullptr;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The wide path for the system. Beyond MAX_PATH (less the room CreateDirectory
// keeps for a file name) a path needs the \\?\ form, which the system takes
// literally, so it is made full first.
std::wstring SystemPath(const std::string& path) {
  std::wstring wide = Wide(path);
  if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;  // the call that uses it reports the fault
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return wide;
  full.resize(length);
  if (full.size() < MAX_PATH - 12) return wide;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return !path.empty() && GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data);
}

WIN32_FILE_ATTRIBUTE_DATA AttributesOrThrow(const std::string& path, const char* source) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!Attributes(path, data)) throw LastError(source, path);
  return data;
}

bool IsFolder(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw LastError("FileSystem.CurrentUser");
  const ScopedHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<char> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    throw LastError("FileSystem.CurrentUser");
  }
  LocalMemory<wchar_t*> text;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.Receive())) {
    throw LastError("FileSystem.CurrentUser");
  }
  return text.get();
}

// A protected DACL with one entry: the current user may do everything. A
// folder hands it on to what is made inside.
class OwnerOnly {
 public:
  OwnerOnly(bool folder, const char* source, const std::string& path) {
    const std::wstring sddl =
        std::wstring(L"D:P(A;") + (folder ? L"OICI" : L"") + L";FA;;;" + CurrentUserSid() + L")";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              descriptor_.Receive(), nullptr)) {
      throw LastError(source, path);
    }
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_.get();
    attributes_.bInheritHandle = FALSE;
  }
  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

  // Narrows a file that exists already. (SetSecurityInfo would do on Windows;
  // Wine's widens the file again.)
  void ApplyTo(HANDLE file, const char* source, const std::string& path) {
    if (!SetKernelObjectSecurity(file, DACL_SECURITY_INFORMATION, descriptor_.get())) {
      throw LastError(source, path);
    }
  }

 private:
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

Error PastEnd(const char* source, const std::string& path) {
  return Error(errc::kInputPastEndOfFile, source, "Input past end of file: " + path);
}

class Win32TextReader : public TextReader {
 public:
  Win32TextReader(ScopedHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  bool AtEnd() override { return !Fill(); }

  std::string ReadLine() override {
    if (AtEnd()) throw PastEnd("TextReader.ReadLine", path_);
    std::string line;
    while (Fill()) {
      const std::size_t end = buffer_.find_first_of("\r\n", pos_);
      if (end == std::string::npos) {
        line.append(buffer_, pos_);
        pos_ = buffer_.size();
        continue;
      }
      line.append(buffer_, pos_, end - pos_);
      const bool cr = buffer_[end] == '\r';
      pos_ = end + 1;
      if (cr && Fill() && buffer_[pos_] == '\n') ++pos_;
      break;
    }
    // No ANSI code page uses the bytes of CR or LF inside a character.
    return ThePlatform().codePage->FromAnsi(line);
  }

 private:
  // Makes unread bytes available; false at the end of the file.
  bool Fill() {
    if (pos_ < buffer_.size()) return true;
    if (eof_) return false;
    buffer_.resize(kChunk);
    DWORD read = 0;
    if (!ReadFile(file_.get(), buffer_.data(), kChunk, &read, nullptr)) {
      throw LastError("TextReader.ReadLine", path_);
    }
    buffer_.resize(read);
    pos_ = 0;
    eof_ = read == 0;
    return read > 0;
  }

  static constexpr DWORD kChunk = 64 * 1024;
  ScopedHandle file_;
  std::string path_;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
};

class Win32TextWriter : public TextWriter {
 public:
  Win32TextWriter(ScopedHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  void WriteLine(const std::string& line) override {
    std::string bytes = ThePlatform().codePage->ToAnsi(line);
    bytes += "\r\n";
    if (bytes.size() > MAXDWORD) {
      throw Error(errc::kOverflow, "TextWriter.WriteLine", "Line too long: " + path_);
    }
    // The handle has append access only, so this one write lands whole at the end.
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      throw LastError("TextWriter.WriteLine", path_);
    }
    if (written != bytes.size()) throw Win32Error(ERROR_DISK_FULL, "TextWriter.WriteLine", path_);
  }

 private:
  ScopedHandle file_;
  std::string path_;
};

class Win32BinaryReader : public BinaryReader {
 public:
  Win32BinaryReader(ScopedHandle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

  std::uint64_t Length() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) throw LastError("BinaryReader.Length", path_);
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  void ReadAt(std::uint64_t offset, char* into, std::size_t count) override {
    std::size_t done = 0;
    while (done < count) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, kMostAtOnce));
      const std::uint64_t position = offset + done;
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(position);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      DWORD read = 0;
      if (!ReadFile(file_.get(), into + done, want, &read, &at)) {
        const DWORD error = GetLastError();
        if (error != ERROR_HANDLE_EOF) throw Win32Error(error, "BinaryReader.ReadAt", path_);
        read = 0;
      }
      if (read == 0) throw PastEnd("BinaryReader.ReadAt", path_);
      done += read;
    }
  }

 private:
  static constexpr std::size_t kMostAtOnce = 1 << 30;
  ScopedHandle file_;
  std::string path_;
};

// Opens a plain disk file for reading; others may go on reading, writing and
// deleting it. A folder, a device ("CON") or a pipe is refused: opening those
// does not block on Windows, and SQOS keeps a pipe's server from acting as us.
// Backup semantics let a folder open, so that it is refused as one rather than
// reported as access denied.
ScopedHandle OpenPlainFileForReading(const std::string& path, const char* source, DWORD hints) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS | hints;
  ScopedHandle file(
      CreateFileW(SystemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) throw LastError(source, path);
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    throw Error(errc::kPathFileAccess, source, "Not a file: " + path);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info)) throw LastError(source, path);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    throw Error(errc::kPathFileAccess, source, "Is a folder: " + path);
  }
  return file;
}

// Nanoseconds since 1970 from 100-nanosecond ticks since 1601.
std::int64_t UnixNanoseconds(const FILETIME& time) {
  constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;
  const std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (static_cast<std::int64_t>(ticks) - kTicksFrom1601To1970) * 100;
}

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return Attributes(path, data) && !IsFolder(data);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return Attributes(path, data) && IsFolder(data);
}

std::vector<std::string> Win32FileSystem::ListFiles(const std::string& folder) {
  std::string prefix = folder;
  if (prefix.empty() || (prefix.back() != '\\' && prefix.back() != '/')) prefix += '\\';
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileExW(SystemPath(prefix + '*').c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  std::vector<std::string> files;
  if (search == INVALID_HANDLE_VALUE) {
    // An existing folder without even "." (a drive's root) is empty.
    if (GetLastError() == ERROR_FILE_NOT_FOUND && FolderExists(folder)) return files;
    throw LastError("FileSystem.ListFiles", folder);
  }
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      files.push_back(prefix + Utf8(found.cFileName));
    }
  } while (FindNextFileW(search, &found));
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) throw Win32Error(error, "FileSystem.ListFiles", folder);
  return files;
}

std::uint64_t Win32FileSystem::FileSize(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributesOrThrow(path, "FileSystem.FileSize");
  if (IsFolder(data)) throw Error(errc::kFileNotFound, "FileSystem.FileSize", "Not a file: " + path);
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

LocalDateTime Win32FileSystem::CreationTime(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributesOrThrow(path, "FileSystem.CreationTime");
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  // The zone's rules for that date, daylight saving included.
  if (!FileTimeToSystemTime(&data.ftCreationTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    throw LastError("FileSystem.CreationTime", path);
  }
  return LocalDateTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::int64_t Win32FileSystem::ModificationTime(const std::string& path) {
  return UnixNanoseconds(AttributesOrThrow(path, "FileSystem.ModificationTime").ftLastWriteTime);
}

void Win32FileSystem::CreateFolder(const std::string& path, FileAccess access) {
  std::optional<OwnerOnly> ownerOnly;
  if (access == FileAccess::Private) ownerOnly.emplace(true, "FileSystem.CreateFolder", path);
  if (!CreateDirectoryW(SystemPath(path).c_str(), ownerOnly ? ownerOnly->Attributes() : nullptr)) {
    throw LastError("FileSystem.CreateFolder", path);
  }
}

void Win32FileSystem::RemoveFile(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributesOrThrow(path, "FileSystem.RemoveFile");
  if (IsFolder(data)) throw Error(errc::kPathFileAccess, "FileSystem.RemoveFile", "Not a file: " + path);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    throw Error(errc::kPathFileAccess, "FileSystem.RemoveFile", "File is read-only: " + path);
  }
  if (!DeleteFileW(SystemPath(path).c_str())) throw LastError("FileSystem.RemoveFile", path);
}

void Win32FileSystem::MoveReplacing(const std::string& from, const std::string& to) {
  if (!MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw LastError("FileSystem.MoveReplacing", from + " -> " + to);
  }
}

std::unique_ptr<TextReader> Win32FileSystem::OpenTextForReading(const std::string& path) {
  return std::make_unique<Win32TextReader>(
      OpenPlainFileForReading(path, "FileSystem.OpenTextForReading", FILE_FLAG_SEQUENTIAL_SCAN), path);
}

std::unique_ptr<TextWriter> Win32FileSystem::OpenTextForAppending(const std::string& path,
                                                                  FileAccess access) {
  const char* source = "FileSystem.OpenTextForAppending";
  std::optional<OwnerOnly> ownerOnly;
  if (access == FileAccess::Private) ownerOnly.emplace(false, source, path);
  // Append access without write access: every write goes to the end of the file.
  const DWORD rights = FILE_APPEND_DATA | SYNCHRONIZE | (ownerOnly ? READ_CONTROL | WRITE_DAC : 0);
  SECURITY_ATTRIBUTES* security = ownerOnly ? ownerOnly->Attributes() : nullptr;
  ScopedHandle file(CreateFileW(SystemPath(path).c_str(), rights, kShareAll, security, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) throw LastError(source, path);
  // A file made before for everyone becomes the owner's only.
  if (ownerOnly && GetLastError() == ERROR_ALREADY_EXISTS) ownerOnly->ApplyTo(file.get(), source, path);
  return std::make_unique<Win32TextWriter>(std::move(file), path);
}

std::unique_ptr<BinaryReader> Win32FileSystem::OpenBinaryForReading(const std::string& path) {
  return std::make_unique<Win32BinaryReader>(
      OpenPlainFileForReading(path, "FileSystem.OpenBinaryForReading", 0), path);
}

}  // namespace dwl::win32
