#include "platform/win32/com/ComApartment.h"

#include <windows.h>

#include <objbase.h>

#include "platform/win32/com/ComError.h"

namespace dwl::win32::com {

ComApartment::ComApartment() {
  // S_FALSE (the thread was in one already) counts too and is undone too.
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  if (FAILED(result)) throw ComError(result, "ComApartment");
}

ComApartment::~ComApartment() { CoUninitialize(); }

}  // namespace dwl::win32::com
