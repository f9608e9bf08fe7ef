"""Automation client for the Pagelith PDF server.

    import pagelith
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.AddPage(0)
    doc.SaveToFile("out.pdf")

Objects are reached only through the server library's exports, its class factory and IDispatch.
"""

import threading
from ctypes import byref, c_int32, c_size_t, c_uint32, c_void_p, memmove

from . import _com, _members
from ._com import DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, GUID, com_error
from ._com import VT_BOOL, VT_BSTR, VT_EMPTY, VT_I2, VT_I4, VT_NULL, VT_R8, VT_UI1, VT_ARRAY
from ._dispatch import CDispatch, RawVariant, Variant

VARIANT = Variant  # the name Python automation clients know

__all__ = ["Dispatch", "com_error", "dispid", "invoke_raw", "library", "packed_dib_handle", "CDispatch", "RawVariant", "Variant",
           "VARIANT", "VT_ARRAY", "VT_BOOL", "VT_BSTR", "VT_EMPTY", "VT_I2", "VT_I4", "VT_NULL", "VT_R8",
           "VT_UI1",
           "DISPATCH_METHOD", "DISPATCH_PROPERTYGET", "DISPATCH_PROPERTYPUT"]

_library = None
_library_lock = threading.Lock()


def _settings():
    try:
        from . import _config as config
    except ImportError as error:
        raise ImportError("pagelith was not installed by the build (its _config module is missing)") from error
    return config


def library():
    """The loaded server library (loaded on first use)."""
    global _library
    if _library is None:
        with _library_lock:
            if _library is None:
                _library = _com.Library(_settings().LIBRARY)
    return _library


def _class_ids():
    """ProgID (lower case) -> CLSID of the classes this module can create."""
    return {"pagelithasp.pdfsvrdoc": GUID.parse(_settings().CLSID_PDFSVRDOC)}


_CLASS_MEMBERS = {"pagelithasp.pdfsvrdoc": ("PagelithASP.PDFSvrDoc", _members.PDFSVRDOC)}


def _resolve_class(name):
    """(CLSID, ProgID key) for a ProgID or a CLSID in braces."""
    classes = _class_ids()
    key = name.strip().lower()
    if key in classes:
        return classes[key], key
    if key.startswith("{") and key.endswith("}"):
        try:
            clsid = GUID.parse(key)
        except ValueError:
            raise com_error(_com.CO_E_CLASSSTRING) from None
        for progid, known in classes.items():
            if known == clsid:
                return clsid, progid
        raise com_error(_com.REGDB_E_CLASSNOTREG)
    raise com_error(_com.CO_E_CLASSSTRING)


def Dispatch(name):
    """Creates an object by its ProgID (or CLSID in braces) and returns its late-bound wrapper."""
    if isinstance(name, CDispatch):
        return name
    if not isinstance(name, str):
        raise TypeError("Dispatch expects a ProgID string")
    clsid, progid = _resolve_class(name)
    lib = library()
    factory = c_void_p()
    hr = lib.get_class_object(byref(clsid), byref(_com.IID_IClassFactory), byref(factory))
    if hr == _com.CLASS_E_CLASSNOTAVAILABLE:
        raise com_error(_com.REGDB_E_CLASSNOTREG)
    if hr < 0:
        raise com_error(hr)
    try:
        hr, ptr = _com.create_instance(factory.value, _com.IID_IDispatch)
    finally:
        _com.release(factory.value)
    if hr < 0:
        if ptr:
            _com.release(ptr)
        raise com_error(hr)
    display, members = _CLASS_MEMBERS.get(progid, (name, None))
    return CDispatch(ptr, lib, members, display)


def dispid(obj, name):
    """The DISPID the object's GetIDsOfNames gives for `name`; com_error when it knows no such name."""
    hr, ids = _com.get_ids_of_names(obj._ptr_, [name])
    if hr < 0:
        raise com_error(hr)
    return ids[0]


def invoke_raw(obj, name, flags, *args):
    """Invokes member `name` with the given DISPATCH_* flags and returns the result as a RawVariant.

    Booleans come back as the 16-bit value the server returned rather than as True/False, byte arrays as
    (lower bound, bytes).
    """
    return obj._invoke_(obj._dispid_(name), flags, args, raw=True)


def packed_dib_handle(data):
    """Copies a packed device-independent bitmap (a 40-byte header, the colour table, the rows bottom-up)
    into new global memory of the server's process and returns its handle for AddImageBMPHandle.

    AddImageBMPHandle frees the memory whatever happens, so a handle serves one call.
    """
    data = bytes(data)
    dll = library().dll
    for name, restype, argtypes in (("GlobalAlloc", c_void_p, [c_uint32, c_size_t]),
                                    ("GlobalLock", c_void_p, [c_void_p]),
                                    ("GlobalUnlock", c_int32, [c_void_p])):
        func = getattr(dll, name)
        func.restype, func.argtypes = restype, argtypes
    handle = dll.GlobalAlloc(0x0042, len(data))  # movable, zeroed
    if not handle:
        raise MemoryError("GlobalAlloc failed for %d bytes" % len(data))
    address = dll.GlobalLock(handle)
    memmove(address, data, len(data))
    dll.GlobalUnlock(handle)
    return handle
