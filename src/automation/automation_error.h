// The error guard of every member: errors below a member become a failure HRESULT plus the thread's
// error information (GUID of IPDFSvrDoc, source "PagelithASP.PDFSvrDoc", the message).
#pragma once

#include <string_view>

#include "platform/com.h"

namespace pagelith {

// Makes the error information current and returns hr (E_UNEXPECTED when it cannot be created).
HRESULT SetAutomationError(HRESULT hr, std::u16string_view description) noexcept;

// Called from a catch block: classifies the exception in flight. EOleSysError keeps its own negative
// code, std::bad_alloc gives E_OUTOFMEMORY, every other error E_UNEXPECTED.
HRESULT ErrorFromCurrentException() noexcept;

template <class F> HRESULT Guarded(F&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (...) {
        return ErrorFromCurrentException();
    }
}

} // namespace pagelith
