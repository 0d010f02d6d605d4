// One event interface of an object: the sinks advised on it, each asked for
// that interface when it advises, and the events handed to them through
// IDispatch::Invoke. A part of its object: it shares the object's
// reference count and lives as long as the object does. One thread.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <optional>
#include <span>
#include <vector>

#include "platform/Error.h"

namespace dwl::win32::simcom {

class AutomationObject;

class ConnectionPoint : public IConnectionPoint {
 public:
  // `name` names the interface in failures ("ItemEvents_10").
  ConnectionPoint(AutomationObject& owner, const IID& events, const char* name);
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  const IID& Events() const { return events_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* events) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  // Listing the connections is not offered.
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

  // To every sink advised when the call starts and still advised when its
  // turn comes, in the order they advised. A sink's failure does not stop
  // the others; the first comes back.
  std::optional<Error> Fire(DISPID event, std::span<VARIANTARG> args);

 private:
  struct Sink {
    DWORD cookie;
    Microsoft::WRL::ComPtr<IDispatch> target;
  };
  bool Advised(DWORD cookie) const;

  AutomationObject& owner_;
  IID events_;
  const char* name_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

}  // namespace dwl::win32::simcom
