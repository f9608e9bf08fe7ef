// The "Response" object of the web request the current call serves.
#pragma once

#include "platform/com.h"

// S_OK and an AddRef'd response; otherwise a failure (CONTEXT_E_NOCONTEXT outside a request) and null.
HRESULT PagelithGetContextResponse(IDispatch** response);

#ifndef _WIN32
// Called by the host on the request's thread: installs that thread's response (null clears it).
extern "C" __attribute__((visibility("default"))) HRESULT PagelithSetObjectContext(IDispatch* response);
#endif
