#include "apps/addin/HostAdapters.h"

#include <wrl/client.h>

#include <string>

#include "platform/win32/WideText.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/com/ComVariant.h"
#include "platform/win32/outlook/OutlookApplication.h"

namespace dwl::addin {
namespace {

constexpr const char* kProgIdSource = "AddInInstance.ProgId";

// A failed host call, numbered by its HRESULT as the host environment
// numbers automation errors.
Error HostCallError(HRESULT code, const std::string& description) {
  std::string text = description;
  if (text.empty()) text = win32::Win32Error(static_cast<unsigned long>(code), kProgIdSource).Description();
  return Error(static_cast<long>(code), kProgIdSource, text);
}

// Read here rather than by win32::outlook::AddInInstanceFrom: the host must
// get a refused ProgId back as its own HRESULT, which DispatchObject numbers
// 440 instead.
class DispatchAddInInstance final : public host::AddInInstance {
 public:
  explicit DispatchAddInInstance(IDispatch* object) : object_(object) {}

  std::string ProgId() override {
    wchar_t name[] = L"ProgId";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT found = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(found)) throw HostCallError(found, "");
    DISPPARAMS none{};
    win32::com::ComVariant value;
    EXCEPINFO exception{};
    HRESULT got = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  value.Receive(), &exception, nullptr);
    std::string description;
    if (got == DISP_E_EXCEPTION) {
      if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
      if (exception.bstrDescription != nullptr) description = win32::Utf8(exception.bstrDescription);
      if (FAILED(exception.scode)) got = exception.scode;
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
    }
    if (FAILED(got)) throw HostCallError(got, description);
    if (FAILED(VariantChangeType(value.InOut(), value.InOut(), 0, VT_BSTR))) {
      throw Error(errc::kTypeMismatch, kProgIdSource, "Type mismatch");
    }
    const BSTR text = value.Get()->bstrVal;
    return win32::Utf8(std::wstring_view(text, SysStringLen(text)));
  }

 private:
  Microsoft::WRL::ComPtr<IDispatch> object_;
};

}  // namespace

std::shared_ptr<host::Application> OutlookHostAdapters::ApplicationFrom(IDispatch* application) {
  return win32::outlook::ApplicationFrom(application);
}

std::shared_ptr<host::AddInInstance> OutlookHostAdapters::AddInInstanceFrom(IDispatch* addInInst) {
  if (addInInst == nullptr) return nullptr;
  return std::make_shared<DispatchAddInInstance>(addInInst);
}

}  // namespace dwl::addin
