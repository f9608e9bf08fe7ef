// Interface identifiers by type without __uuidof, on every platform:
// IidOf<IDispatch>() and QueryInterfaceAs(unknown, &dispatch). Specialise ComIid for further interfaces.
#pragma once

namespace pagelith {

template <class T> struct ComIid; // specialised with `static const IID& value()`

#define PAGELITH_COM_IID(Interface)                                                                          \
    template <> struct ComIid<Interface> {                                                                   \
        static const IID& value() { return IID_##Interface; }                                                \
    }

PAGELITH_COM_IID(IUnknown);
PAGELITH_COM_IID(IDispatch);
PAGELITH_COM_IID(IClassFactory);
PAGELITH_COM_IID(IErrorInfo);
PAGELITH_COM_IID(ICreateErrorInfo);
PAGELITH_COM_IID(ISupportErrorInfo);
PAGELITH_COM_IID(IProvideClassInfo);

template <class T> const IID& IidOf() {
    return ComIid<T>::value();
}

// Asks `from` for interface T; *out receives an AddRef'd pointer or null.
template <class T> HRESULT QueryInterfaceAs(IUnknown* from, T** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!from) return E_POINTER;
    return from->QueryInterface(IidOf<T>(), reinterpret_cast<void**>(out));
}

} // namespace pagelith
