// The one way a call from the host into the add-in ends: whatever the add-in
// throws becomes an HRESULT here (and a line in the application log while
// the platform is installed). A C++ exception that reached Outlook would take
// it down and get the add-in disabled, so every exported function and every
// COM method runs its body through Guarded.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <utility>

#include "platform/Error.h"

namespace dwl::addin {

// The HRESULT the host sees for a failure: an HRESULT the failure carries
// (a negative number) as it is, the runtime's errors as the host
// environment's own (0x800A0000 plus the number; 91 is 0x800A005B), out of
// memory as E_OUTOFMEMORY, anything else as E_FAIL.
HRESULT HResultOf(const Error& failure) noexcept;

// Call only inside a catch: logs the failure as "<entry>:<description>,
// <number>" and returns its HRESULT; given `excepInfo` (IDispatch::Invoke's),
// fills it and returns DISP_E_EXCEPTION, as Invoke reports a failed member.
HRESULT FailedEntry(const char* entry, EXCEPINFO* excepInfo = nullptr) noexcept;

// Runs `body`, which returns the HRESULT of a call that did not throw.
template <class Body>
HRESULT Guarded(const char* entry, Body&& body, EXCEPINFO* excepInfo = nullptr) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    return FailedEntry(entry, excepInfo);
  }
}

}  // namespace dwl::addin
