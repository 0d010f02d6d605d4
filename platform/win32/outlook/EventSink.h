// One subscription to one event of a host object, through the object's
// connection points: a small IDispatch that the host calls with the event's
// DISPID. Connect advises on the first of `interfaces` the object offers
// (the newer event interface first, then the older one) and returns the
// connection the core keeps; dropping it unadvises and lets go of every
// reference. Invoke catches everything: no C++ exception reaches the host.
// Host thread only.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include <wrl/client.h>

#include "platform/EventConnection.h"

namespace dwl::win32::outlook {

// The arguments of one event call, by their place in the event's
// declaration (the host passes them last first).
class EventArguments {
 public:
  explicit EventArguments(DISPPARAMS* params) : params_(params) {}

  unsigned Count() const { return params_ ? params_->cArgs : 0; }
  // An object argument; null for Nothing. Fails with dwl::Error (13) for
  // anything else.
  Microsoft::WRL::ComPtr<IDispatch> Object(unsigned position) const;
  // A boolean the host passes by reference (Cancel), read and written back.
  bool Flag(unsigned position) const;
  void SetFlag(unsigned position, bool value);

 private:
  VARIANT& At(unsigned position) const;
  VARIANT_BOOL* FlagAt(unsigned position) const;

  DISPPARAMS* params_;
};

using EventHandler = std::function<void(EventArguments& arguments)>;

// Throws dwl::Error when `source` offers none of `interfaces` or refuses
// the sink.
host::EventConnection ConnectEvent(IUnknown* source, std::initializer_list<IID> interfaces, DISPID event,
                                   EventHandler handler);

class EventSink final : public IDispatch {
 public:
  EventSink(DISPID event, EventHandler handler);
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  // Advises on the first of `interfaces` that `source` offers.
  void Advise(IUnknown* source, const std::vector<IID>& interfaces);
  // Unadvises and forgets the handler; harmless twice.
  void Unadvise();

  // IUnknown: IUnknown, IDispatch and the event interface advised on.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: the host calls Invoke only; there is no type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** type) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

 private:
  ~EventSink() = default;

  ULONG references_ = 0;
  DISPID event_;
  // Shared so that a handler that disconnects itself finishes its call.
  std::shared_ptr<EventHandler> handler_;
  IID interface_ = IID_NULL;
  Microsoft::WRL::ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace dwl::win32::outlook
