// The response object of the current ASP request, from the component services' object context.
#include "platform/object_context.h"

#include <comsvcs.h>

#include "platform/com_ptr.h"

namespace {

// ole32 exports no import-library symbols for these.
constexpr IID kIID_IObjectContext = {
    0x51372AE0, 0xCAE7, 0x11CF, {0xBE, 0x81, 0x00, 0xAA, 0x00, 0xA2, 0xFA, 0x25}};
constexpr IID kIID_IGetContextProperties = {
    0x51372AF4, 0xCAE7, 0x11CF, {0xBE, 0x81, 0x00, 0xAA, 0x00, 0xA2, 0xFA, 0x25}};

} // namespace

HRESULT PagelithGetContextResponse(IDispatch** response) {
    if (!response) return E_POINTER;
    *response = nullptr;

    pagelith::TComPtr<IUnknown> context;
    HRESULT hr = CoGetObjectContext(kIID_IObjectContext, context.PutVoid());
    if (hr < 0 || !context) return hr < 0 ? hr : CONTEXT_E_NOCONTEXT;

    pagelith::TComPtr<IGetContextProperties> properties;
    hr = context->QueryInterface(kIID_IGetContextProperties, properties.PutVoid());
    if (hr < 0 || !properties) return hr < 0 ? hr : CONTEXT_E_NOCONTEXT;

    BSTR name = SysAllocString(L"Response");
    if (!name) return E_OUTOFMEMORY;
    VARIANT value;
    VariantInit(&value);
    hr = properties->GetProperty(name, &value);
    SysFreeString(name);
    if (hr < 0) return hr;

    IUnknown* object = nullptr;
    if (V_VT(&value) == VT_DISPATCH)
        object = V_DISPATCH(&value);
    else if (V_VT(&value) == VT_UNKNOWN)
        object = V_UNKNOWN(&value);
    hr = object ? object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(response))
                : CONTEXT_E_NOCONTEXT;
    VariantClear(&value);
    if (hr < 0) *response = nullptr;
    return hr;
}
