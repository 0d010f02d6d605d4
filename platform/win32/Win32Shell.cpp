#include "platform/win32/Win32Shell.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <cwctype>
#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"

namespace dwl::win32 {
namespace {

// Its address lies inside this module, whichever module that is.
const int kInsideThisModule = 0;

// The longest path the wide API takes.
constexpr DWORD kLongestPath = 32768;

std::wstring WithoutTrailingSeparators(std::wstring path) {
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

}  // namespace

std::string Win32Shell::SpecialFolder(int id) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, id, &list)) || list == nullptr) return "";
  std::wstring path(kLongestPath, L'\0');
  const BOOL found = SHGetPathFromIDListEx(list, path.data(), kLongestPath, GPFIDL_DEFAULT);
  CoTaskMemFree(list);
  path.resize(path.find(L'\0'));
  // A virtual folder (the printers, the network) has no path. Wine gives its
  // parsing name ("::{...}") instead of failing as Windows does.
  const bool drive = path.size() > 1 && path[1] == L':' && std::iswalpha(path[0]);
  const bool fileSystem = drive || path.starts_with(L"\\\\");
  if (!found || !fileSystem) return "";
  return Utf8(WithoutTrailingSeparators(std::move(path)));
}

std::wstring ThisModulePath() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&kInsideThisModule), &module)) {
    throw LastError("Shell.ModuleFolder");
  }
  // A path that fills the buffer may have been cut: grow it and ask again.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(module, path.data(), size);
    if (length == 0) throw LastError("Shell.ModuleFolder");
    if (length < size) {
      path.resize(length);
      return path;
    }
    if (size >= kLongestPath) throw Win32Error(ERROR_FILENAME_EXCED_RANGE, "Shell.ModuleFolder");
    path.resize(size * 2);
  }
}

std::string Win32Shell::ModuleFolder() {
  std::wstring path = ThisModulePath();
  const auto cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) return "";
  path.resize(cut);
  return Utf8(path);
}

std::string Win32Shell::NewGuid() {
  GUID guid;
  const HRESULT made = CoCreateGuid(&guid);
  if (FAILED(made)) throw Win32Error(static_cast<unsigned long>(made), "Shell.NewGuid");
  wchar_t text[40] = {};
  // 39 with the closing NUL: braces, 32 digits in upper case, 4 hyphens.
  if (StringFromGUID2(guid, text, 40) != 39) throw Win32Error(ERROR_INSUFFICIENT_BUFFER, "Shell.NewGuid");
  return Utf8(std::wstring_view(text, 38));
}

}  // namespace dwl::win32
