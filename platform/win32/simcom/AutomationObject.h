// The IDispatch side of one host object shown over COM: members found by
// name (any case) in a fixed table of names and DISPIDs, calls checked
// against that table before they reach the object, and the object's
// connection points. Failures leave a call as HRESULTs (a dwl::Error as
// DISP_E_EXCEPTION with its number, source and description); nothing
// throws out of a COM method. Objects are made with a reference count of
// 0 (Make adds the first) and live until the last Release. Every object
// counts in LiveObjectCount() while it lives. One thread, the apartment's.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/com/ComVariant.h"

namespace dwl::win32::simcom {

class ConnectionPoint;

// Objects of this layer alive in the process.
long LiveObjectCount();

enum class MemberKind {
  Get,     // a read-only property
  GetPut,  // a property that can be written too
  Method,
};

struct Member {
  const wchar_t* name;
  DISPID id;
  MemberKind kind;
  int arguments;  // besides the value of a put
};

class AutomationObject : public IDispatch, public IConnectionPointContainer {
 public:
  AutomationObject(const AutomationObject&) = delete;
  AutomationObject& operator=(const AutomationObject&) = delete;

  // IUnknown. IConnectionPointContainer only for an object with events.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, without type information.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* badArgument) override;

  // IConnectionPointContainer. Enumerating the points is not offered.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  template <typename T, typename... Args>
  static Microsoft::WRL::ComPtr<IDispatch> Make(Args&&... args) {
    return Microsoft::WRL::ComPtr<IDispatch>(static_cast<IDispatch*>(new T(std::forward<Args>(args)...)));
  }

 protected:
  explicit AutomationObject(std::span<const Member> members);
  virtual ~AutomationObject();

  // A member of the table with the right number of arguments, in the
  // caller's order (a put's value last), each a value, never a reference.
  // What a put returns is dropped.
  virtual com::ComVariant Call(const Member& member, bool put, std::span<const com::ComVariant> args) = 0;

  // The object's connection points; they live as long as it does.
  void Offer(ConnectionPoint& point);
  // `args` in Invoke's order (the last parameter first) to every sink of
  // every point. The object stays alive throughout, whatever the sinks
  // release; the first sink's failure comes back after all were called.
  std::optional<Error> Fire(DISPID event, std::span<VARIANTARG> args);

 private:
  const Member* Find(DISPID id) const;

  std::span<const Member> members_;
  std::vector<ConnectionPoint*> points_;
  ULONG references_ = 0;
};

// The object (or Nothing) as a call's result.
com::ComVariant ObjectResult(const Microsoft::WRL::ComPtr<IDispatch>& object);

}  // namespace dwl::win32::simcom
