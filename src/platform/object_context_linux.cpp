// Without component services the host hands each request's response object to its thread.
#include "platform/object_context.h"

namespace {

struct ThreadResponse {
    IDispatch* response = nullptr;
    ThreadResponse() = default;
    ThreadResponse(const ThreadResponse&) = delete;
    ThreadResponse& operator=(const ThreadResponse&) = delete;
    ~ThreadResponse() {
        if (response) response->Release();
    }
};

thread_local ThreadResponse current;

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT PagelithSetObjectContext(IDispatch* response) {
    if (response) response->AddRef();
    IDispatch* old = current.response;
    current.response = response;
    if (old) old->Release();
    return S_OK;
}

HRESULT PagelithGetContextResponse(IDispatch** response) {
    if (!response) return E_POINTER;
    *response = current.response;
    if (!*response) return CONTEXT_E_NOCONTEXT;
    (*response)->AddRef();
    return S_OK;
}
