#include "platform/win32/Win32Console.h"

#include <windows.h>

#include <algorithm>
#include <iostream>

#include "platform/win32/WideText.h"

namespace dwl::win32 {
namespace {

// A handle is a console when the console accepts it; a pipe or file is not.
bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// A line typed at the console, read as wide characters so that any letter
// survives; nullopt at end of input (Ctrl-Z) or when reading fails.
std::optional<std::string> ReadConsoleLine(HANDLE input) {
  std::wstring line;
  wchar_t buffer[256];
  // Bounded: a password or name is never this long.
  constexpr std::size_t kLimit = 64 * 1024;
  for (;;) {
    DWORD read = 0;
    if (!ReadConsoleW(input, buffer, 256, &read, nullptr) || read == 0) {
      if (line.empty()) return std::nullopt;
      break;
    }
    line.append(buffer, read);
    if (line.find(L'\n') != std::wstring::npos || line.size() > kLimit) break;
  }
  const std::size_t end = line.find_first_of(L"\r\n");
  if (end != std::wstring::npos) line.resize(end);
  if (line.size() == 1 && line[0] == 0x1A) return std::nullopt;  // Ctrl-Z
  return Utf8(line);
}

}  // namespace

Win32Console::Win32Console() {
  savedOutputCodePage_ = GetConsoleOutputCP();
  if (savedOutputCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (IsConsole(error) && GetConsoleMode(error, &savedErrorMode_)) {
    errorModeChanged_ =
        SetConsoleMode(error, savedErrorMode_ | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  }
}

Win32Console::~Win32Console() {
  if (errorModeChanged_) SetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), savedErrorMode_);
  if (savedOutputCodePage_ != 0) SetConsoleOutputCP(savedOutputCodePage_);
}

bool Win32Console::ErrorIsTerminal() { return IsConsole(GetStdHandle(STD_ERROR_HANDLE)); }

std::size_t Win32Console::ErrorWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 0;
  return static_cast<std::size_t>(std::max(0, info.srWindow.Right - info.srWindow.Left + 1));
}

std::optional<std::string> Win32Console::ReadSecretLine(const std::string& prompt) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (!IsConsole(input)) {
    std::string line;
    if (!std::getline(std::cin, line) && line.empty()) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  std::cerr << prompt << std::flush;
  DWORD saved = 0;
  GetConsoleMode(input, &saved);
  SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::optional<std::string> line = ReadConsoleLine(input);
  SetConsoleMode(input, saved);
  std::cerr << '\n';
  return line;
}

}  // namespace dwl::win32
