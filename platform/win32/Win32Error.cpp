#include "platform/win32/Win32Error.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

long CoreNumber(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return errc::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY: return errc::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return errc::kPermissionDenied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return errc::kFileAlreadyExists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return errc::kDiskFull;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_PATHNAME: return errc::kBadFileName;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return errc::kOutOfMemory;
    case ERROR_HANDLE_EOF: return errc::kInputPastEndOfFile;
    default: return errc::kPathFileAccess;
  }
}

std::string SystemText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text ? std::wstring(text, length) : std::wstring();
  if (text) LocalFree(text);
  // The system's text ends in CR LF; a log line must not.
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) return "system error " + std::to_string(code);
  return Utf8(message);
}

}  // namespace

Error Win32Error(unsigned long code, const std::string& source, const std::string& path) {
  std::string description = SystemText(code);
  if (!path.empty()) description += ": " + path;
  return Error(CoreNumber(code), source, description);
}

Error LastError(const std::string& source, const std::string& path) {
  return Win32Error(GetLastError(), source, path);
}

}  // namespace dwl::win32
