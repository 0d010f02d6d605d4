#include "platform/win32/simcom/AutomationObject.h"

#include <olectl.h>

#include <cwctype>
#include <new>
#include <string>

#include "platform/win32/com/ComString.h"
#include "platform/win32/simcom/ConnectionPoint.h"

namespace dwl::win32::simcom {

namespace {

long liveObjects = 0;

bool SameName(const wchar_t* a, const wchar_t* b) {
  // Member names are ASCII; the case of a letter is all that may differ.
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

// A dwl::Error as the exception a late-bound caller reads back.
HRESULT Raise(const Error& failure, EXCEPINFO* exception) noexcept {
  if (!exception) return DISP_E_EXCEPTION;
  *exception = EXCEPINFO{};
  if (failure.Number() > 0 && failure.Number() <= 0xFFFF) {
    exception->wCode = static_cast<WORD>(failure.Number());
  } else {
    exception->scode = E_FAIL;
  }
  try {
    com::ComString source(failure.Source());
    com::ComString description(failure.Description());
    exception->bstrSource = source.Release();
    exception->bstrDescription = description.Release();
  } catch (...) {
    // The number alone still tells the caller what went wrong.
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

long LiveObjectCount() { return liveObjects; }

com::ComVariant ObjectResult(const Microsoft::WRL::ComPtr<IDispatch>& object) {
  return object ? com::ComVariant(object.Get()) : com::ComVariant(nullptr);
}

AutomationObject::AutomationObject(std::span<const Member> members) : members_(members) { ++liveObjects; }

AutomationObject::~AutomationObject() { --liveObjects; }

HRESULT STDMETHODCALLTYPE AutomationObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !points_.empty()) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE AutomationObject::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE AutomationObject::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE AutomationObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  // Members take no named arguments: every name after the first is unknown.
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (!names[0]) return DISP_E_UNKNOWNNAME;
  for (const Member& member : members_) {
    if (SameName(member.name, names[0])) {
      ids[0] = member.id;
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

const Member* AutomationObject::Find(DISPID id) const {
  for (const Member& member : members_) {
    if (member.id == id) return &member;
  }
  return nullptr;
}

HRESULT STDMETHODCALLTYPE AutomationObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* badArgument) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!params) return E_INVALIDARG;
  const Member* member = Find(id);
  if (!member) return DISP_E_MEMBERNOTFOUND;

  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (put) {
    if (member->kind != MemberKind::GetPut) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return DISP_E_PARAMNOTOPTIONAL;
    }
  } else {
    // Scripts read properties as methods and call methods as properties.
    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  }
  const UINT expected = static_cast<UINT>(member->arguments) + (put ? 1 : 0);
  if (params->cArgs != expected) return DISP_E_BADPARAMCOUNT;
  if (expected > 0 && !params->rgvarg) return E_INVALIDARG;

  try {
    std::vector<com::ComVariant> args(expected);
    for (UINT i = 0; i < expected; ++i) {
      // rgvarg holds the last argument first.
      const UINT at = expected - 1 - i;
      const HRESULT copied = VariantCopyInd(args[i].Receive(), &params->rgvarg[at]);
      if (FAILED(copied)) {
        if (badArgument) *badArgument = at;
        return copied;
      }
    }
    com::ComVariant value = Call(*member, put, args);
    if (result) {
      VariantInit(result);
      if (!put) *result = value.Release();
    }
    return S_OK;
  } catch (const Error& failure) {
    return Raise(failure, exception);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT STDMETHODCALLTYPE AutomationObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE AutomationObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  for (ConnectionPoint* candidate : points_) {
    if (IsEqualIID(candidate->Events(), iid)) {
      *point = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

void AutomationObject::Offer(ConnectionPoint& point) { points_.push_back(&point); }

std::optional<Error> AutomationObject::Fire(DISPID event, std::span<VARIANTARG> args) {
  const Microsoft::WRL::ComPtr<IDispatch> alive(static_cast<IDispatch*>(this));
  std::optional<Error> failure;
  for (ConnectionPoint* point : points_) {
    auto pointFailure = point->Fire(event, args);
    if (pointFailure && !failure) failure = std::move(pointFailure);
  }
  return failure;
}

}  // namespace dwl::win32::simcom
