#include "platform/win32/com/DispatchObject.h"

#include <climits>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/WideText.h"
#include "platform/win32/com/ComError.h"
#include "platform/win32/com/ComString.h"

namespace dwl::win32::com {
namespace {

std::string SourceOf(const std::string& member) { return "DispatchObject." + member; }

// An exception the object raised, in its own words where it gave them.
Error RaisedError(const EXCEPINFO& exception, const ComString& source, const ComString& description,
                  const std::string& member) {
  long number = ComErrorNumber(exception.scode);
  if (exception.wCode != 0) {
    number = exception.wCode;
  } else if (HRESULT_FACILITY(exception.scode) == FACILITY_CONTROL) {
    // A control's code is the runtime's own number (457 for a key that exists).
    number = HRESULT_CODE(exception.scode);
  }
  std::string text = description.Utf8();
  if (text.empty()) text = ComError(FAILED(exception.scode) ? exception.scode : DISP_E_EXCEPTION, {}, member).Description();
  std::string origin = source.Utf8();
  return Error(number, origin.empty() ? SourceOf(member) : origin, text);
}

}  // namespace

DispatchObject::DispatchObject(Microsoft::WRL::ComPtr<IDispatch> object, DispatchIdCache& cache)
    : object_(std::move(object)), cache_(&cache) {}

DispatchObject DispatchObject::Create(std::string_view progId, DispatchIdCache& cache) {
  const std::string name(progId);
  CLSID id{};
  HRESULT result = CLSIDFromProgID(Wide(progId).c_str(), &id);
  if (FAILED(result)) throw ComError(result, "DispatchObject.Create", name);
  Microsoft::WRL::ComPtr<IDispatch> object;
  result = CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&object));
  if (FAILED(result)) throw ComError(result, "DispatchObject.Create", name);
  return DispatchObject(std::move(object), cache);
}

DISPID DispatchObject::Id(std::string_view name) {
  const std::string member(name);
  if (!object_) throw Error(errc::kInvalidCall, SourceOf(member), "Object variable not set: " + member);
  if (!names_) names_ = cache_->TableFor(object_.Get());
  if (const auto known = names_->find(member); known != names_->end()) return known->second;
  std::wstring wide = Wide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT result = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(result)) throw ComError(result, SourceOf(member), member);
  names_->emplace(member, id);
  return id;
}

ComVariant DispatchObject::Invoke(std::string_view name, WORD flags, std::span<const DispatchArgument> args) {
  const std::string member(name);
  const DISPID id = Id(name);

  // The callee reads them last first.
  std::vector<VARIANTARG> passed;
  passed.reserve(args.size());
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) passed.push_back(arg->Passed());
  // A property's new value is named, so that the callee tells it from the
  // property's own arguments.
  DISPID valueName = DISPID_PROPERTYPUT;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS params{passed.data(), put ? &valueName : nullptr, static_cast<UINT>(passed.size()), put ? 1u : 0u};

  ComVariant result;
  EXCEPINFO exception{};
  UINT badArgument = UINT_MAX;  // not every callee sets it
  const HRESULT outcome = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                          put ? nullptr : result.Receive(), &exception, &badArgument);
  if (outcome == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
  // Ours to free from here, whatever came back.
  const ComString source = ComString::Attach(exception.bstrSource);
  const ComString description = ComString::Attach(exception.bstrDescription);
  const ComString helpFile = ComString::Attach(exception.bstrHelpFile);

  if (SUCCEEDED(outcome)) return result;
  if (outcome == DISP_E_EXCEPTION) throw RaisedError(exception, source, description, member);
  std::string detail = member;
  if ((outcome == DISP_E_TYPEMISMATCH || outcome == DISP_E_PARAMNOTFOUND) && badArgument < passed.size()) {
    detail += ", argument " + std::to_string(passed.size() - badArgument);
  }
  throw ComError(outcome, SourceOf(member), detail);
}

}  // namespace dwl::win32::com
