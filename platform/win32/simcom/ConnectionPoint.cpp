#include "platform/win32/simcom/ConnectionPoint.h"

#include <olectl.h>

#include <new>
#include <string>

#include "platform/win32/com/ComError.h"
#include "platform/win32/com/ComString.h"
#include "platform/win32/simcom/AutomationObject.h"

namespace dwl::win32::simcom {

using Microsoft::WRL::ComPtr;

ConnectionPoint::ConnectionPoint(AutomationObject& owner, const IID& events, const char* name)
    : owner_(owner), events_(events), name_(name) {}

HRESULT STDMETHODCALLTYPE ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ConnectionPoint::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE ConnectionPoint::Release() { return owner_.Release(); }

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* events) {
  if (!events) return E_POINTER;
  *events = events_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (!container) return E_POINTER;
  *container = &owner_;
  owner_.AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  // The sink answers for the interface it follows; Invoke is where its
  // events arrive, as for every dispinterface.
  void* answer = nullptr;
  if (FAILED(sink->QueryInterface(events_, &answer)) || !answer) return CONNECT_E_CANNOTCONNECT;
  ComPtr<IDispatch> target(static_cast<IDispatch*>(answer));
  target->Release();  // the query's reference; `target` holds its own
  try {
    sinks_.push_back({nextCookie_, std::move(target)});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  *cookie = nextCookie_++;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->cookie == cookie) {
      // The sink may go with its last reference and unadvise others on its
      // way out: off the list first.
      const ComPtr<IDispatch> leaving = std::move(it->target);
      sinks_.erase(it);
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

bool ConnectionPoint::Advised(DWORD cookie) const {
  for (const Sink& sink : sinks_) {
    if (sink.cookie == cookie) return true;
  }
  return false;
}

std::optional<Error> ConnectionPoint::Fire(DISPID event, std::span<VARIANTARG> args) {
  std::optional<Error> failure;
  const std::vector<Sink> snapshot = sinks_;  // a sink may advise or unadvise while it runs
  for (const Sink& sink : snapshot) {
    if (!Advised(sink.cookie)) continue;
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT outcome = sink.target->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                nullptr, &exception, &badArgument);
    if (outcome == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    const com::ComString source = com::ComString::Attach(exception.bstrSource);
    const com::ComString description = com::ComString::Attach(exception.bstrDescription);
    const com::ComString helpFile = com::ComString::Attach(exception.bstrHelpFile);
    if (SUCCEEDED(outcome) || failure) continue;
    const std::string where = std::string(name_) + " sink, event " + std::to_string(event);
    if (outcome == DISP_E_EXCEPTION && description.Length() > 0) {
      const long number = exception.wCode != 0 ? exception.wCode : com::ComErrorNumber(exception.scode);
      failure = Error(number, source.Length() > 0 ? source.Utf8() : where, description.Utf8());
    } else {
      failure = com::ComError(outcome, where);
    }
  }
  return failure;
}

}  // namespace dwl::win32::simcom
