// Without component services the host hands each request's response object to its thread.
#include "platform/object_context.h"

#include "platform/com_ptr.h"

namespace {

thread_local pagelith::TComPtr<IDispatch> current;

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT PagelithSetObjectContext(IDispatch* response) {
    if (response) response->AddRef();
    current.Reset(response);
    return S_OK;
}

HRESULT PagelithGetContextResponse(IDispatch** response) {
    if (!response) return E_POINTER;
    *response = current.Get();
    if (!*response) return CONTEXT_E_NOCONTEXT;
    (*response)->AddRef();
    return S_OK;
}
