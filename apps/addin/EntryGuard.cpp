#include "apps/addin/EntryGuard.h"

#include <oleauto.h>

#include <string>

#include "platform/Platform.h"
#include "platform/win32/WideText.h"
#include "support/ApplicationLog.h"
#include "support/TolerantRun.h"

namespace dwl::addin {
namespace {

// The largest number the host environment's own errors carry.
constexpr long kLargestRuntimeError = 0xFFFF;

void Log(const std::string& line) noexcept {
  // Outside an object's life (registration, say) nothing is installed, and
  // the log would need the platform to find its folder.
  if (!PlatformInstalled()) return;
  try {
    ApplicationLog::Instance()->AddMessage(line);
  } catch (...) {
    // The log must not turn a reported failure into a crash.
  }
}

BSTR Text(const std::string& utf8) { return SysAllocString(win32::Wide(utf8).c_str()); }

}  // namespace

HRESULT HResultOf(const Error& failure) noexcept {
  const long number = failure.Number();
  if (number < 0) return static_cast<HRESULT>(number);
  if (number == errc::kOutOfMemory) return E_OUTOFMEMORY;
  if (number > 0 && number <= kLargestRuntimeError) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
  }
  return E_FAIL;
}

HRESULT FailedEntry(const char* entry, EXCEPINFO* excepInfo) noexcept {
  try {
    const Error failure = TolerantRun::CurrentFailure();
    const HRESULT code = HResultOf(failure);
    Log(std::string(entry) + ":" + failure.Description() + ", " + std::to_string(failure.Number()));
    if (excepInfo == nullptr) return code;
    *excepInfo = EXCEPINFO{};
    excepInfo->bstrSource = Text(failure.Source().empty() ? entry : failure.Source());
    excepInfo->bstrDescription = Text(failure.Description());
    excepInfo->scode = code;
    return DISP_E_EXCEPTION;
  } catch (...) {
    // Only memory runs out while a failure is described.
    return E_OUTOFMEMORY;
  }
}

}  // namespace dwl::addin
