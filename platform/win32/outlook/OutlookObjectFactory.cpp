#include "platform/win32/outlook/OutlookObjectFactory.h"

#include <windows.h>

#include <objbase.h>
#include <wrl/client.h>

#include <cstdio>
#include <utility>

#include "platform/Error.h"
#include "platform/win32/WideText.h"
#include "platform/win32/com/ComError.h"
#include "platform/win32/com/DispatchObject.h"
#include "platform/win32/outlook/OutlookSafeMailItem.h"

namespace dwl::win32::outlook {
namespace {

constexpr const char* kSource = "CreateObject";

// An uninstall may leave the ProgID behind without its class.
bool NotInstalled(HRESULT result) { return result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG; }

// The HRESULT stays the number: a missing DLL and a component that refuses
// to start call for different fixes.
Error CreationError(HRESULT result, const std::string& progId) {
  std::string description =
      "ActiveX component can't create object " + progId + ": " + com::ComError(result, kSource).Description();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  if (description.find(code) == std::string::npos) description += std::string(" (") + code + ")";
  return Error(static_cast<long>(result), kSource, description);
}

}  // namespace

std::shared_ptr<host::SafeMailItem> OutlookObjectFactory::CreateSafeMailItem(const std::string& progId) {
  CLSID id{};
  HRESULT result = CLSIDFromProgID(Wide(progId).c_str(), &id);
  if (NotInstalled(result)) return std::make_shared<OutlookSafeMailItem>();
  if (FAILED(result)) throw CreationError(result, progId);
  Microsoft::WRL::ComPtr<IDispatch> component;
  result = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&component));
  if (NotInstalled(result)) return std::make_shared<OutlookSafeMailItem>();
  if (FAILED(result)) throw CreationError(result, progId);
  return std::make_shared<OutlookSafeMailItem>(com::DispatchObject(std::move(component)));
}

}  // namespace dwl::win32::outlook
