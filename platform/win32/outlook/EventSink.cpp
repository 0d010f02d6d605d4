#include "platform/win32/outlook/EventSink.h"

#include <olectl.h>

#include <exception>
#include <string>
#include <utility>

#include "platform/Error.h"
#include "platform/win32/com/ComError.h"
#include "platform/win32/com/ComString.h"

namespace dwl::win32::outlook {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const char* kSource = "EventSink";

Error BadArgument(unsigned position, const char* wanted) {
  return Error(errc::kTypeMismatch, kSource,
               "Type mismatch: event argument " + std::to_string(position + 1) + " is not " + wanted);
}

// What a failed handler tells the host, which may show or log it; a host
// that asks for no details gets the bare failure.
HRESULT Describe(EXCEPINFO* exception, long number, const std::string& source, const std::string& text) {
  if (!exception) return E_FAIL;
  try {
    *exception = EXCEPINFO{};
    exception->wCode = static_cast<WORD>(number > 0 && number < 0x10000 ? number : errc::kUnknown);
    exception->bstrSource = com::ComString(source).Release();
    exception->bstrDescription = com::ComString(text).Release();
  } catch (...) {
    // No memory for the words: the failure code alone goes back.
  }
  return DISP_E_EXCEPTION;
}

}  // namespace

VARIANT& EventArguments::At(unsigned position) const {
  if (position >= Count()) throw Error(errc::kInvalidCall, kSource, "missing event argument " + std::to_string(position + 1));
  VARIANT& argument = params_->rgvarg[params_->cArgs - 1 - position];
  // A host may pass any argument as a reference to a VARIANT.
  if (argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal) return *argument.pvarVal;
  return argument;
}

ComPtr<IDispatch> EventArguments::Object(unsigned position) const {
  const VARIANT& argument = At(position);
  switch (argument.vt) {
    case VT_EMPTY:
      return nullptr;
    case VT_DISPATCH:
      return argument.pdispVal;
    case VT_BYREF | VT_DISPATCH:
      return argument.ppdispVal ? *argument.ppdispVal : nullptr;
    case VT_UNKNOWN:
    case VT_BYREF | VT_UNKNOWN: {
      IUnknown* unknown = argument.vt == VT_UNKNOWN ? argument.punkVal
                                                    : (argument.ppunkVal ? *argument.ppunkVal : nullptr);
      ComPtr<IDispatch> object;
      if (unknown && FAILED(unknown->QueryInterface(IID_PPV_ARGS(&object)))) throw BadArgument(position, "an object");
      return object;
    }
    default:
      throw BadArgument(position, "an object");
  }
}

VARIANT_BOOL* EventArguments::FlagAt(unsigned position) const {
  VARIANT& argument = At(position);
  if (argument.vt == (VT_BYREF | VT_BOOL) && argument.pboolVal) return argument.pboolVal;
  // A reference to a VARIANT holding the boolean, as At() unwrapped it.
  if (argument.vt == VT_BOOL) return &argument.boolVal;
  throw BadArgument(position, "a boolean by reference");
}

bool EventArguments::Flag(unsigned position) const { return *FlagAt(position) != VARIANT_FALSE; }

void EventArguments::SetFlag(unsigned position, bool value) {
  *FlagAt(position) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

host::EventConnection ConnectEvent(IUnknown* source, std::initializer_list<IID> interfaces, DISPID event,
                                   EventHandler handler) {
  // Held here until the connection takes it over; Release deletes it if Advise fails.
  ComPtr<EventSink> sink(new EventSink(event, std::move(handler)));
  sink->Advise(source, std::vector<IID>(interfaces));
  return host::EventConnection([sink] { sink->Unadvise(); });
}

EventSink::EventSink(DISPID event, EventHandler handler)
    : event_(event), handler_(std::make_shared<EventHandler>(std::move(handler))) {}

void EventSink::Advise(IUnknown* source, const std::vector<IID>& interfaces) {
  if (!source) throw Error(91, kSource, "Object variable or With block variable not set");
  ComPtr<IConnectionPointContainer> container;
  HRESULT result = source->QueryInterface(IID_PPV_ARGS(&container));
  if (FAILED(result)) throw com::ComError(result, kSource, "the object raises no events");
  result = CONNECT_E_NOCONNECTION;
  for (const IID& candidate : interfaces) {
    ComPtr<IConnectionPoint> point;
    result = container->FindConnectionPoint(candidate, &point);
    if (FAILED(result) || !point) continue;
    // The point asks the sink for the interface before it takes it.
    interface_ = candidate;
    DWORD cookie = 0;
    result = point->Advise(static_cast<IDispatch*>(this), &cookie);
    if (SUCCEEDED(result)) {
      point_ = std::move(point);
      cookie_ = cookie;
      return;
    }
  }
  interface_ = IID_NULL;
  throw com::ComError(FAILED(result) ? result : CONNECT_E_NOCONNECTION, kSource, "no event interface to advise on");
}

void EventSink::Unadvise() {
  // Nothing more reaches the handler, even when the host calls late.
  handler_.reset();
  if (!point_) return;
  const ComPtr<IConnectionPoint> point = std::move(point_);
  point->Unadvise(cookie_);
  cookie_ = 0;
}

HRESULT STDMETHODCALLTYPE EventSink::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) &&
      (IsEqualIID(interface_, IID_NULL) || !IsEqualIID(iid, interface_))) {
    return E_NOINTERFACE;
  }
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE EventSink::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE EventSink::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** type) {
  if (type) *type = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) {
  if (ids) *ids = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE EventSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT*) {
  if (result) VariantInit(result);
  // Other events of the same interface are someone else's.
  if (member != event_) return S_OK;
  const std::shared_ptr<EventHandler> handler = handler_;
  if (!handler || !*handler) return S_OK;
  // The handler may drop the last connection to this sink.
  const ComPtr<EventSink> self(this);
  try {
    EventArguments arguments(params);
    (*handler)(arguments);
    return S_OK;
  } catch (const Error& failure) {
    return Describe(exception, failure.Number(), failure.Source(), failure.Description());
  } catch (const std::exception& failure) {
    return Describe(exception, errc::kUnknown, kSource, failure.what());
  } catch (...) {
    return Describe(exception, errc::kUnknown, kSource, "unknown failure in an event handler");
  }
}

}  // namespace dwl::win32::outlook
