"""Binary layer: the automation types in their Windows layout and calls through COM vtables.

Everything the server allocates (BSTRs, VARIANT contents, error objects) is released through the
server library's own exports; everything this module builds for arguments is owned by Python and
never handed to the server's allocator.
"""

import ctypes
import struct
import threading
from ctypes import (POINTER, Structure, Union, byref, c_double, c_float, c_int8, c_int16, c_int32,
                    c_longlong, c_uint8, c_uint16, c_uint32, c_uint64, c_void_p, sizeof)

try:
    from . import _fastcall
except ImportError:  # a copy of the package without its extension: every call goes through ctypes
    _fastcall = None

HRESULT = c_int32
DISPID = c_int32
LCID = c_uint32
LOCALE_USER_DEFAULT = 0x0400

S_OK = 0
S_FALSE = 1


def signed32(value):
    """An HRESULT as the signed 32-bit number automation clients show."""
    value &= 0xFFFFFFFF
    return value - 0x100000000 if value & 0x80000000 else value


E_NOTIMPL = signed32(0x80004001)
E_NOINTERFACE = signed32(0x80004002)
E_POINTER = signed32(0x80004003)
E_ABORT = signed32(0x80004004)
E_FAIL = signed32(0x80004005)
E_UNEXPECTED = signed32(0x8000FFFF)
E_INVALIDARG = signed32(0x80070057)
E_OUTOFMEMORY = signed32(0x8007000E)
CO_E_CLASSSTRING = signed32(0x800401F3)
REGDB_E_CLASSNOTREG = signed32(0x80040154)
CLASS_E_CLASSNOTAVAILABLE = signed32(0x80040111)
DISP_E_UNKNOWNINTERFACE = signed32(0x80020001)
DISP_E_MEMBERNOTFOUND = signed32(0x80020003)
DISP_E_PARAMNOTFOUND = signed32(0x80020004)
DISP_E_TYPEMISMATCH = signed32(0x80020005)
DISP_E_UNKNOWNNAME = signed32(0x80020006)
DISP_E_NONAMEDARGS = signed32(0x80020007)
DISP_E_BADVARTYPE = signed32(0x80020008)
DISP_E_EXCEPTION = signed32(0x80020009)
DISP_E_OVERFLOW = signed32(0x8002000A)
DISP_E_BADINDEX = signed32(0x8002000B)
DISP_E_BADPARAMCOUNT = signed32(0x8002000E)
DISP_E_PARAMNOTOPTIONAL = signed32(0x8002000F)

DISPATCH_METHOD = 1
DISPATCH_PROPERTYGET = 2
DISPATCH_PROPERTYPUT = 4
DISPATCH_PROPERTYPUTREF = 8
DISPID_PROPERTYPUT = -3
DISPID_UNKNOWN = -1

VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE, VT_BSTR = 0, 1, 2, 3, 4, 5, 6, 7, 8
VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL = 9, 10, 11, 12, 13, 14
VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8, VT_INT, VT_UINT = 16, 17, 18, 19, 20, 21, 22, 23
VT_ARRAY = 0x2000
VT_BYREF = 0x4000
VT_TYPEMASK = 0x0FFF

# Messages for the codes a client meets, in the wording automation clients print.
_MESSAGES = {
    E_NOTIMPL: "Not implemented",
    E_NOINTERFACE: "No such interface supported",
    E_POINTER: "Invalid pointer",
    E_ABORT: "Operation aborted",
    E_FAIL: "Unspecified error",
    E_UNEXPECTED: "Catastrophic failure",
    E_INVALIDARG: "The parameter is incorrect.",
    E_OUTOFMEMORY: "Not enough memory resources are available to complete this operation.",
    CO_E_CLASSSTRING: "Invalid class string",
    REGDB_E_CLASSNOTREG: "Class not registered",
    CLASS_E_CLASSNOTAVAILABLE: "ClassFactory cannot supply requested class",
    DISP_E_UNKNOWNINTERFACE: "Unknown interface.",
    DISP_E_MEMBERNOTFOUND: "Member not found.",
    DISP_E_PARAMNOTFOUND: "Parameter not found.",
    DISP_E_TYPEMISMATCH: "Type mismatch.",
    DISP_E_UNKNOWNNAME: "Unknown name.",
    DISP_E_NONAMEDARGS: "No named arguments.",
    DISP_E_BADVARTYPE: "Bad variable type.",
    DISP_E_EXCEPTION: "Exception occurred.",
    DISP_E_OVERFLOW: "Out of present range.",
    DISP_E_BADINDEX: "Invalid index.",
    DISP_E_BADPARAMCOUNT: "Invalid number of parameters.",
    DISP_E_PARAMNOTOPTIONAL: "Parameter not optional.",
}


def message_of(hresult):
    return _MESSAGES.get(signed32(hresult), "Error 0x%08X" % (hresult & 0xFFFFFFFF))


class com_error(Exception):
    """A failed automation call: args are (hresult, message, excepinfo, argerr) as script hosts give.

    `hresult` is the failure code of the call (for an exception raised inside a member, the code the
    member reported); `invoke_hresult` is what Invoke itself returned. `excepinfo` is None or the tuple
    (wCode, source, description, helpfile, helpcontext, scode).
    """

    def __init__(self, hresult, message=None, excepinfo=None, argerr=None, invoke_hresult=None):
        hresult = signed32(hresult)
        if message is None:
            message = message_of(hresult)
        super().__init__(hresult, message, excepinfo, argerr)
        self.hresult = hresult
        self.strerror = message
        self.excepinfo = excepinfo
        self.argerr = argerr
        self.invoke_hresult = hresult if invoke_hresult is None else signed32(invoke_hresult)
        self.member = None  # the member whose call failed, when known

    def __str__(self):
        text = self.description or self.strerror or ""
        code = "0x%08X" % (self.hresult & 0xFFFFFFFF)
        if self.member:
            return "%s: %s (%s)" % (self.member, text, code)
        return "%s (%s)" % (text, code)

    @property
    def description(self):
        return self.excepinfo[2] if self.excepinfo else None

    @property
    def source(self):
        return self.excepinfo[1] if self.excepinfo else None


# ---------------------------------------------------------------------------------------------
# Layouts (Windows x86-64)

class GUID(Structure):
    _fields_ = [("Data1", c_uint32), ("Data2", c_uint16), ("Data3", c_uint16), ("Data4", c_uint8 * 8)]

    @classmethod
    def parse(cls, text):
        text = text.strip().strip("{}")
        parts = text.split("-")
        if [len(p) for p in parts] != [8, 4, 4, 4, 12]:
            raise ValueError("not a GUID: %r" % text)
        raw = bytes.fromhex("".join(parts))  # raises ValueError on non-hex digits
        guid = cls()
        guid.Data1, guid.Data2, guid.Data3 = struct.unpack(">IHH", raw[:8])
        guid.Data4[:] = raw[8:]
        return guid

    def __str__(self):
        d4 = bytes(self.Data4)
        return "{%08X-%04X-%04X-%s-%s}" % (self.Data1, self.Data2, self.Data3, d4[:2].hex().upper(),
                                           d4[2:].hex().upper())

    def __eq__(self, other):
        return isinstance(other, GUID) and bytes(self) == bytes(other)

    def __hash__(self):
        return hash(bytes(self))


IID_NULL = GUID()
IID_IUnknown = GUID.parse("00000000-0000-0000-C000-000000000046")
IID_IDispatch = GUID.parse("00020400-0000-0000-C000-000000000046")
IID_IClassFactory = GUID.parse("00000001-0000-0000-C000-000000000046")
IID_IErrorInfo = GUID.parse("1CF2B120-547D-101B-8E65-08002B2BD119")


class _VariantValue(Union):
    _fields_ = [("llVal", c_longlong), ("lVal", c_int32), ("bVal", c_uint8), ("iVal", c_int16),
                ("fltVal", c_float), ("dblVal", c_double), ("boolVal", c_int16), ("scode", c_int32),
                ("cVal", c_int8), ("uiVal", c_uint16), ("ulVal", c_uint32), ("ullVal", c_uint64),
                ("ptr", c_void_p), ("record", c_void_p * 2)]


class VARIANT(Structure):
    _fields_ = [("vt", c_uint16), ("wReserved1", c_uint16), ("wReserved2", c_uint16),
                ("wReserved3", c_uint16), ("u", _VariantValue)]


class SAFEARRAYBOUND(Structure):
    _fields_ = [("cElements", c_uint32), ("lLbound", c_int32)]


class SAFEARRAY(Structure):
    _fields_ = [("cDims", c_uint16), ("fFeatures", c_uint16), ("cbElements", c_uint32),
                ("cLocks", c_uint32), ("pvData", c_void_p), ("rgsabound", SAFEARRAYBOUND * 1)]


FADF_AUTO = 0x0001
FADF_FIXEDSIZE = 0x0010
FADF_HAVEVARTYPE = 0x0080


class DISPPARAMS(Structure):
    _fields_ = [("rgvarg", POINTER(VARIANT)), ("rgdispidNamedArgs", POINTER(DISPID)),
                ("cArgs", c_uint32), ("cNamedArgs", c_uint32)]


class EXCEPINFO(Structure):
    _fields_ = [("wCode", c_uint16), ("wReserved", c_uint16), ("bstrSource", c_void_p),
                ("bstrDescription", c_void_p), ("bstrHelpFile", c_void_p), ("dwHelpContext", c_uint32),
                ("pvReserved", c_void_p), ("pfnDeferredFillIn", c_void_p), ("scode", c_int32)]


assert sizeof(VARIANT) == 24 and VARIANT.u.offset == 8
assert sizeof(SAFEARRAY) == 32 and SAFEARRAY.pvData.offset == 16
assert sizeof(DISPPARAMS) == 24 and sizeof(EXCEPINFO) == 64 and EXCEPINFO.scode.offset == 56


# ---------------------------------------------------------------------------------------------
# The server library

class Library:
    """The loaded server library and the runtime exports this module relies on."""

    REQUIRED = ("DllGetClassObject", "SysAllocStringLen", "SysFreeString", "VariantClear")

    def __init__(self, path):
        self.path = path
        self.dll = ctypes.CDLL(path, mode=ctypes.RTLD_GLOBAL)
        missing = [name for name in self.REQUIRED if not hasattr(self.dll, name)]
        if missing:
            raise ImportError("%s does not export %s" % (path, ", ".join(missing)))
        d = self.dll
        # Hands out a class factory: short, so it keeps the GIL (see _prototype).
        self.get_class_object = ctypes.PYFUNCTYPE(HRESULT, POINTER(GUID), POINTER(GUID), POINTER(c_void_p))(
            ("DllGetClassObject", d))
        d.SysAllocStringLen.argtypes = [c_void_p, c_uint32]
        d.SysAllocStringLen.restype = c_void_p
        d.SysFreeString.argtypes = [c_void_p]
        d.SysFreeString.restype = None
        d.VariantClear.argtypes = [POINTER(VARIANT)]
        d.VariantClear.restype = HRESULT
        self.can_unload = self._optional("DllCanUnloadNow", HRESULT, [])
        self.get_error_info = self._optional("GetErrorInfo", HRESULT, [c_uint32, POINTER(c_void_p)])
        self.set_error_info = self._optional("SetErrorInfo", HRESULT, [c_uint32, c_void_p])
        self.set_object_context = self._optional("PagelithSetObjectContext", HRESULT, [c_void_p])
        # Invoke for the common argument and result types, freeing through this library's exports.
        self.fast = None
        if _fastcall is not None:
            self.fast = _fastcall.Caller(_address(d.VariantClear), _address(self.set_error_info))

    def _optional(self, name, restype, argtypes):
        func = getattr(self.dll, name, None)
        if func is not None:
            func.restype = restype
            func.argtypes = argtypes
        return func

    # BSTRs -----------------------------------------------------------------------------------

    def alloc_bstr(self, text):
        """A BSTR from the server's allocator (for values the server will free)."""
        data = text.encode("utf-16-le", "surrogatepass")
        p = self.dll.SysAllocStringLen(data, len(data) // 2)
        if not p:
            raise MemoryError("SysAllocStringLen failed")
        return p

    def take_bstr(self, p):
        """The text of a BSTR the caller owns; the BSTR is freed."""
        if not p:
            return ""
        try:
            return read_bstr(p)
        finally:
            self.dll.SysFreeString(p)

    def clear_variant(self, var):
        self.dll.VariantClear(byref(var))


def _address(func):
    return None if func is None else ctypes.cast(func, c_void_p).value


def read_bstr(p):
    """The text of a BSTR by its layout: byte length in the 4 bytes before the characters."""
    if not p:
        return ""
    nbytes = c_uint32.from_address(p - 4).value
    return ctypes.string_at(p, nbytes & ~1).decode("utf-16-le", "surrogatepass")


class OwnedBSTR:
    """A BSTR laid out in Python memory, for arguments passed in; the server never frees these."""

    __slots__ = ("buffer", "address")

    def __init__(self, text):
        data = text.encode("utf-16-le", "surrogatepass")
        self.buffer = ctypes.create_string_buffer(struct.pack("<I", len(data)) + data + b"\0\0")
        self.address = ctypes.addressof(self.buffer) + 4


class OwnedByteArray:
    """A one-dimensional VT_UI1 safe array (lower bound 0) in Python memory, for arguments passed in."""

    __slots__ = ("data", "array")

    def __init__(self, data):
        data = bytes(data)
        self.data = ctypes.create_string_buffer(data, max(len(data), 1))
        self.array = SAFEARRAY()
        self.array.cDims = 1
        self.array.fFeatures = FADF_FIXEDSIZE | FADF_AUTO
        self.array.cbElements = 1
        self.array.cLocks = 0
        self.array.pvData = ctypes.addressof(self.data)
        self.array.rgsabound[0].cElements = len(data)
        self.array.rgsabound[0].lLbound = 0


def safearray_lower_bound(address):
    return SAFEARRAY.from_address(address).rgsabound[0].lLbound if address else 0


def read_safearray_bytes(address):
    """The bytes of a one-dimensional byte array, read by its layout (any lower bound)."""
    if not address:
        return b""
    sa = SAFEARRAY.from_address(address)
    if sa.cDims != 1:
        raise com_error(DISP_E_TYPEMISMATCH, "Only one-dimensional byte arrays are supported")
    if sa.cbElements != 1:
        raise com_error(DISP_E_BADVARTYPE, "Array elements are not bytes")
    count = sa.rgsabound[0].cElements
    if count == 0:
        return b""
    if not sa.pvData:
        raise com_error(E_POINTER, "Byte array without data")
    return ctypes.string_at(sa.pvData, count)


# ---------------------------------------------------------------------------------------------
# Calls through vtables

_prototypes = {}
_prototypes_lock = threading.Lock()


def _prototype(restype, argtypes, short=False):
    """Short calls keep the GIL: handing it over costs a threaded server two thread switches, more than they
    take."""
    key = (restype, tuple(argtypes), short)
    proto = _prototypes.get(key)
    if proto is None:
        with _prototypes_lock:
            make = ctypes.PYFUNCTYPE if short else ctypes.CFUNCTYPE
            proto = _prototypes.setdefault(key, make(restype, c_void_p, *argtypes))
    return proto


# Callables by function address and prototype: making one costs more than the call itself. Objects
# made in Python have vtables of their own, so the table starts again when it grows large.
_callables = {}
_CALLABLES_KEPT = 1024


def vcall(obj, index, restype, argtypes, *args, short=False):
    """Calls entry `index` of the vtable of interface pointer `obj`; `short` keeps the GIL."""
    if not obj:
        raise com_error(E_POINTER, "Call through a null interface pointer")
    vtbl = c_void_p.from_address(obj).value
    func = c_void_p.from_address(vtbl + index * sizeof(c_void_p)).value
    proto = _prototype(restype, argtypes, short)
    call = _callables.get((func, proto))
    if call is None:
        if len(_callables) >= _CALLABLES_KEPT:
            _callables.clear()
        call = _callables.setdefault((func, proto), proto(func))
    return call(obj, *args)


# IUnknown
def query_interface(obj, iid):
    out = c_void_p()
    hr = vcall(obj, 0, HRESULT, [POINTER(GUID), POINTER(c_void_p)], byref(iid), byref(out), short=True)
    return hr, out.value


def add_ref(obj):
    return vcall(obj, 1, c_uint32, [], short=True)


def release(obj, short=False):
    """The last release of a document frees all of it, so other threads run meanwhile unless `short`."""
    return vcall(obj, 2, c_uint32, [], short=short)


# IClassFactory
def create_instance(factory, iid):
    out = c_void_p()
    hr = vcall(factory, 3, HRESULT, [c_void_p, POINTER(GUID), POINTER(c_void_p)], None, byref(iid),
               byref(out), short=True)
    return hr, out.value


# IDispatch
def get_ids_of_names(obj, names):
    buffers = [ctypes.create_string_buffer(n.encode("utf-16-le", "surrogatepass") + b"\0\0") for n in names]
    array = (c_void_p * len(names))(*[ctypes.addressof(b) for b in buffers])
    ids = (DISPID * len(names))()
    hr = vcall(obj, 5, HRESULT, [POINTER(GUID), c_void_p, c_uint32, LCID, POINTER(DISPID)],
               byref(IID_NULL), array, len(names), LOCALE_USER_DEFAULT, ids)
    return hr, list(ids)


_INVOKE_ARGS = (DISPID, POINTER(GUID), LCID, c_uint16, POINTER(DISPPARAMS), POINTER(VARIANT),
                POINTER(EXCEPINFO), POINTER(c_uint32))


def invoke(obj, dispid, flags, params, result, excepinfo, argerr):
    return vcall(obj, 6, HRESULT, _INVOKE_ARGS, dispid, byref(IID_NULL), LOCALE_USER_DEFAULT, flags, byref(params),
                 None if result is None else byref(result), byref(excepinfo), byref(argerr))


# IErrorInfo: GetGUID 3, GetSource 4, GetDescription 5, GetHelpFile 6, GetHelpContext 7
def _error_info_text(lib, info, index):
    out = c_void_p()
    hr = vcall(info, index, HRESULT, [POINTER(c_void_p)], byref(out))
    text = lib.take_bstr(out.value)
    return text if hr == 0 else ""


def fetch_error_info(lib):
    """The thread's current error information as (source, description, helpfile, helpcontext), or None."""
    if lib.get_error_info is None:
        return None
    info = c_void_p()
    if lib.get_error_info(0, byref(info)) != 0 or not info.value:
        return None
    try:
        source = _error_info_text(lib, info.value, 4)
        description = _error_info_text(lib, info.value, 5)
        helpfile = _error_info_text(lib, info.value, 6)
        context = c_uint32()
        if vcall(info.value, 7, HRESULT, [POINTER(c_uint32)], byref(context)) != 0:
            context.value = 0
        return source, description, helpfile, context.value
    finally:
        release(info.value)
