// The one header for COM and OLE Automation names. On Windows it is the system's; elsewhere our own
// layer with the same names, values and binary layout (x86-64 Windows layout for VARIANT and SAFEARRAY).
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <ole2.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>
#ifndef CONTEXT_E_NOCONTEXT
#define CONTEXT_E_NOCONTEXT _HRESULT_TYPEDEF_(0x8004E004L)
#endif
#ifndef OLESTR
#define OLESTR(str) L##str
#endif
#else
#include "platform/linux/com_api.h"
#include "platform/linux/com_errors.h"
#include "platform/linux/com_interfaces.h"
#include "platform/linux/com_types.h"
#include "platform/linux/com_variant.h"
#endif

#include "platform/com_iid_of.h"
