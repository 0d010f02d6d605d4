#include "apps/addin/ClassFactory.h"

#include "apps/addin/ConnectObject.h"
#include "apps/addin/EntryGuard.h"

namespace dwl::addin {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() { return ++references_; }

ULONG ClassFactory::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  return Guarded("ClassFactory.CreateInstance", [&]() -> HRESULT {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* made = new ConnectObject(ServerModule::Adapters());
    const HRESULT asked = made->QueryInterface(riid, object);
    made->Release();
    return asked;
  });
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  return Guarded("ClassFactory.LockServer", [&]() -> HRESULT {
    if (lock) {
      ServerModule::Lock();
      return S_OK;
    }
    return ServerModule::Unlock() ? S_OK : E_UNEXPECTED;
  });
}

}  // namespace dwl::addin
