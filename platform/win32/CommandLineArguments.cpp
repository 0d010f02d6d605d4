#include "platform/win32/CommandLineArguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/WideText.h"

namespace dwl::win32 {

std::vector<std::string> CommandLineArguments() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> result;
  if (arguments == nullptr) return result;
  for (int i = 1; i < count; ++i) result.push_back(Utf8(arguments[i]));
  LocalFree(arguments);
  return result;
}

}  // namespace dwl::win32
