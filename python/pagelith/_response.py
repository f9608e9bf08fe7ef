"""A web response object served to the document server as an IDispatch built from ctypes callbacks.

The server's BinaryWrite calls, late-bound by name, `ContentType` (property put), `AddHeader`,
`BinaryWrite` and `Flush`; each call is passed on to a sink object with the methods content_type(text),
add_header(name, value), binary_write(data) and flush(). A sink that raises ResponseError makes the
call fail with that HRESULT and description, as a web server's response object reports its errors.
"""

import ctypes
import sys
import threading
from ctypes import CFUNCTYPE, POINTER, Structure, c_uint16, c_uint32, c_void_p

from . import _com
from ._com import DISPID, DISPPARAMS, EXCEPINFO, GUID, HRESULT, LCID, VARIANT
from ._dispatch import variant_to_python


class ResponseError(Exception):
    """Raised by a sink to make the current response call fail."""

    def __init__(self, hresult, description):
        super().__init__(hresult, description)
        self.hresult = _com.signed32(hresult)
        self.description = description


_QueryInterface = CFUNCTYPE(HRESULT, c_void_p, POINTER(GUID), POINTER(c_void_p))
_AddRef = CFUNCTYPE(c_uint32, c_void_p)
_Release = CFUNCTYPE(c_uint32, c_void_p)
_GetTypeInfoCount = CFUNCTYPE(HRESULT, c_void_p, POINTER(c_uint32))
_GetTypeInfo = CFUNCTYPE(HRESULT, c_void_p, c_uint32, LCID, POINTER(c_void_p))
_GetIDsOfNames = CFUNCTYPE(HRESULT, c_void_p, POINTER(GUID), POINTER(c_void_p), c_uint32, LCID, POINTER(DISPID))
_Invoke = CFUNCTYPE(HRESULT, c_void_p, DISPID, POINTER(GUID), LCID, c_uint16, POINTER(DISPPARAMS),
                    POINTER(VARIANT), POINTER(EXCEPINFO), POINTER(c_uint32))


class _Vtbl(Structure):
    _fields_ = [("QueryInterface", _QueryInterface), ("AddRef", _AddRef), ("Release", _Release),
                ("GetTypeInfoCount", _GetTypeInfoCount), ("GetTypeInfo", _GetTypeInfo),
                ("GetIDsOfNames", _GetIDsOfNames), ("Invoke", _Invoke)]


class _Interface(Structure):
    _fields_ = [("lpVtbl", POINTER(_Vtbl))]


DISPID_CONTENTTYPE = 1
DISPID_ADDHEADER = 2
DISPID_BINARYWRITE = 3
DISPID_FLUSH = 4
_NAMES = {"contenttype": DISPID_CONTENTTYPE, "addheader": DISPID_ADDHEADER,
          "binarywrite": DISPID_BINARYWRITE, "flush": DISPID_FLUSH}

# Live objects by interface address. An entry holds the Python object while the server holds
# references to it, so a callback never meets a collected object.
_live = {}
_live_lock = threading.Lock()


def _object(this):
    return _live.get(this)


def _read_name(address):
    units = []
    p = address
    while True:
        unit = c_uint16.from_address(p).value
        if unit == 0:
            break
        units.append(unit)
        p += 2
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le", "replace")


@_QueryInterface
def _query_interface(this, riid, out):
    if not out:
        return _com.E_POINTER
    iid = riid.contents
    if iid == _com.IID_IUnknown or iid == _com.IID_IDispatch:
        out[0] = this
        _add_ref(this)
        return _com.S_OK
    out[0] = None
    return _com.E_NOINTERFACE


@_AddRef
def _add_ref(this):
    with _live_lock:
        obj = _live.get(this)
        if obj is None:
            return 0
        obj._refs += 1
        return obj._refs


@_Release
def _release(this):
    with _live_lock:
        obj = _live.get(this)
        if obj is None:
            return 0
        obj._refs -= 1
        if obj._refs <= 0:
            del _live[this]
            return 0
        return obj._refs


@_GetTypeInfoCount
def _get_type_info_count(this, count):
    if not count:
        return _com.E_POINTER
    count[0] = 0
    return _com.S_OK


@_GetTypeInfo
def _get_type_info(this, index, lcid, out):
    if out:
        out[0] = None
    return _com.E_NOTIMPL


@_GetIDsOfNames
def _get_ids_of_names(this, riid, names, count, lcid, ids):
    try:
        if not names or not ids:
            return _com.E_POINTER
        result = _com.S_OK
        for i in range(count):
            dispid = _NAMES.get(_read_name(names[i]).lower())
            if dispid is None or i > 0:  # the members have no named parameters
                ids[i] = _com.DISPID_UNKNOWN
                result = _com.DISP_E_UNKNOWNNAME
            else:
                ids[i] = dispid
        return result
    except Exception:
        return _com.E_UNEXPECTED


@_Invoke
def _invoke(this, dispid, riid, lcid, flags, params, result, excepinfo, argerr):
    obj = _object(this)
    if obj is None:
        return _com.E_UNEXPECTED
    try:
        return obj._invoke(dispid, flags, params, result, excepinfo, argerr)
    except Exception:  # an exception must never cross into the server
        sys.excepthook(*sys.exc_info())
        return _com.E_UNEXPECTED


_VTBL = _Vtbl(_query_interface, _add_ref, _release, _get_type_info_count, _get_type_info, _get_ids_of_names,
             _invoke)


class ComResponse:
    """The response object. Created with one reference, which `release()` gives back."""

    def __init__(self, sink, lib):
        self._sink = sink
        self._lib = lib
        self._interface = _Interface(ctypes.pointer(_VTBL))
        self._refs = 1
        self.content_type = None
        with _live_lock:
            _live[self.pointer] = self

    @property
    def pointer(self):
        """The IDispatch interface pointer (as an address)."""
        return ctypes.addressof(self._interface)

    @property
    def references(self):
        return self._refs

    def release(self):
        return _release(self.pointer)

    # Invoke ---------------------------------------------------------------------------------

    def _invoke(self, dispid, flags, params, result, excepinfo, argerr):
        if not params:
            return _com.E_POINTER
        p = params.contents
        args = [p.rgvarg[i] for i in range(p.cArgs)]
        args.reverse()  # first parameter first
        named = [p.rgdispidNamedArgs[i] for i in range(p.cNamedArgs)]
        is_put = flags & (_com.DISPATCH_PROPERTYPUT | _com.DISPATCH_PROPERTYPUTREF)
        if is_put:
            if named != [_com.DISPID_PROPERTYPUT] or len(args) != 1:
                return _com.DISP_E_PARAMNOTFOUND if named else _com.DISP_E_BADPARAMCOUNT
        elif named:
            return _com.DISP_E_NONAMEDARGS

        try:
            if dispid == DISPID_CONTENTTYPE:
                if is_put:
                    self.content_type = self._text(args, 0, argerr)
                    self._sink.content_type(self.content_type)
                    return _com.S_OK
                if flags & _com.DISPATCH_PROPERTYGET and not args:
                    if result:
                        result.contents.vt = _com.VT_BSTR
                        result.contents.u.ptr = self._lib.alloc_bstr(self.content_type or "")
                    return _com.S_OK
                return _com.DISP_E_MEMBERNOTFOUND
            if is_put or not flags & _com.DISPATCH_METHOD:
                return _com.DISP_E_MEMBERNOTFOUND
            if dispid == DISPID_ADDHEADER:
                if len(args) != 2:
                    return _com.DISP_E_BADPARAMCOUNT
                name = self._text(args, 0, argerr)
                value = self._text(args, 1, argerr)
                self._sink.add_header(name, value)
                return _com.S_OK
            if dispid == DISPID_BINARYWRITE:
                if len(args) != 1:
                    return _com.DISP_E_BADPARAMCOUNT
                data = variant_to_python(args[0])
                if not isinstance(data, bytes):
                    _set_argerr(argerr, 0, 1)
                    return _com.DISP_E_TYPEMISMATCH
                self._sink.binary_write(data)
                return _com.S_OK
            if dispid == DISPID_FLUSH:
                if args:
                    return _com.DISP_E_BADPARAMCOUNT
                self._sink.flush()
                return _com.S_OK
            return _com.DISP_E_MEMBERNOTFOUND
        except _Mismatch:
            return _com.DISP_E_TYPEMISMATCH
        except ResponseError as error:
            return self._exception(excepinfo, error.hresult, error.description)
        except _com.com_error as error:
            return self._exception(excepinfo, error.hresult, error.strerror)

    def _text(self, args, index, argerr):
        value = variant_to_python(args[index])
        if not isinstance(value, str):
            _set_argerr(argerr, index, len(args))
            raise _Mismatch()
        return value

    def _exception(self, excepinfo, hresult, description):
        if not excepinfo:
            return hresult
        info = excepinfo.contents
        info.wCode = 0
        info.bstrSource = self._lib.alloc_bstr("Response object")
        info.bstrDescription = self._lib.alloc_bstr(description or "")
        info.bstrHelpFile = None
        info.dwHelpContext = 0
        info.pfnDeferredFillIn = None
        info.scode = hresult
        return _com.DISP_E_EXCEPTION


class _Mismatch(Exception):
    pass


def _set_argerr(argerr, index, count):
    if argerr:
        argerr[0] = count - 1 - index  # position in DISPPARAMS, which run last argument first
