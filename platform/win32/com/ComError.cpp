#include "platform/win32/com/ComError.h"

#include <cstdio>

#include "platform/win32/Win32Error.h"

namespace dwl::win32::com {
namespace {

constexpr const char* kNoSuchMember = "Object doesn't support this property or method";

// The runtime's own words, for codes the system has no text for (Wine has
// none for the DISP_E_ family).
std::string RuntimeWords(long number, HRESULT result) {
  switch (number) {
    case errc::kInvalidCall: return "Invalid procedure call or argument";
    case errc::kOverflow: return "Overflow";
    case errc::kOutOfMemory: return "Out of memory";
    case errc::kTypeMismatch: return "Type mismatch";
    default: {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
      return std::string("Automation error ") + code;
    }
  }
}

std::string SystemText(HRESULT result, long number) {
  const unsigned long code = static_cast<unsigned long>(result);
  std::string text = Win32Error(code, {}).Description();
  // Win32Error's words when the system knows nothing of the code.
  if (text == "system error " + std::to_string(code)) return RuntimeWords(number, result);
  // A detail follows: "Type mismatch: Add", not "Type mismatch.: Add".
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

}  // namespace

long ComErrorNumber(HRESULT result) {
  switch (result) {
    case E_INVALIDARG:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_PARAMNOTFOUND:
    case DISP_E_BADVARTYPE:
    case DISP_E_NONAMEDARGS: return errc::kInvalidCall;
    case DISP_E_OVERFLOW: return errc::kOverflow;
    case E_OUTOFMEMORY: return errc::kOutOfMemory;
    case DISP_E_TYPEMISMATCH: return errc::kTypeMismatch;
    case DISP_E_UNKNOWNNAME:
    case DISP_E_MEMBERNOTFOUND: return errc::kMemberNotSupported;
    default: return errc::kUnknown;
  }
}

Error ComError(HRESULT result, const std::string& source, const std::string& detail) {
  const long number = ComErrorNumber(result);
  std::string description = number == errc::kMemberNotSupported ? kNoSuchMember : SystemText(result, number);
  if (!detail.empty()) description += ": " + detail;
  return Error(number, source, description);
}

}  // namespace dwl::win32::com
