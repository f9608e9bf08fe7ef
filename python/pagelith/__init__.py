"""Automation client for the Pagelith PDF server.

    import pagelith
    from pagelith import constants as c
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.AddPage(0)                      # 0 appends a page (A4 portrait by default)
    doc.SaveToFile("out.pdf")

Objects are reached only through the server library's exports, its class factory and IDispatch.
`help(doc)` lists every member; docs/members.md in the source tree has the codes and units.
The server library is found beside this package, or where PAGELITH_LIBRARY names it.
"""

import os
import threading
from ctypes import byref, c_int32, c_size_t, c_uint32, c_void_p, memmove

from . import _com, _members
from ._com import DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, GUID, com_error
from ._com import VT_BOOL, VT_BSTR, VT_EMPTY, VT_I2, VT_I4, VT_NULL, VT_R8, VT_UI1, VT_ARRAY
from . import constants
from ._dispatch import CDispatch, RawVariant, Variant, describe_class

VARIANT = Variant  # the name Python automation clients know

__all__ = ["Dispatch", "com_error", "dispid", "invoke_raw", "library", "library_path", "rgb", "constants",
           "packed_dib_handle", "CDispatch", "RawVariant", "Variant",
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


def library_path():
    """Where the server library is: $PAGELITH_LIBRARY, else the copy inside this package."""
    override = os.environ.get("PAGELITH_LIBRARY")
    if override:
        return override
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), _settings().LIBRARY_NAME)


def library():
    """The loaded server library (loaded on first use)."""
    global _library
    if _library is None:
        with _library_lock:
            if _library is None:
                path = library_path()
                if not os.path.exists(path):
                    raise ImportError("pagelith: server library not found at %s (set PAGELITH_LIBRARY)" % path)
                _library = _com.Library(path)
    return _library


def rgb(red, green, blue):
    """The colour value of a red, green and blue triple (0-255 each): 0x00BBGGRR, red in the low byte."""
    for value in (red, green, blue):
        if not 0 <= int(value) <= 255:
            raise ValueError("colour components are 0 to 255, got %r" % (value,))
    return int(red) | int(green) << 8 | int(blue) << 16


def _class_ids():
    """ProgID (lower case) -> CLSID of the classes this module can create."""
    return {_settings().PROGID.lower(): GUID.parse(_settings().CLSID_PDFSVRDOC)}


def _class_members():
    """ProgID (lower case) -> (ProgID as written, member kinds, member descriptions)."""
    return {_settings().PROGID.lower(): (_settings().PROGID, _members.PDFSVRDOC, _members.PDFSVRDOC_DOCS)}


_classes = {}


def _wrapper_class(progid):
    """A CDispatch subclass per class whose docstring lists the members, so help(doc) shows them."""
    cls = _classes.get(progid)
    if cls is None:
        display, members, docs = _class_members()[progid]
        cls = type(display.split(".")[-1], (CDispatch,), {"__doc__": describe_class(display, members, docs),
                                                          "__module__": __name__})
        _classes[progid] = cls
    return cls


def __getattr__(name):
    """`pagelith.PDFSvrDoc`: the class of the objects Dispatch makes, for annotations and isinstance."""
    if name == "PDFSvrDoc":
        return _wrapper_class(_settings().PROGID.lower())
    raise AttributeError("module %r has no attribute %r" % (__name__, name))


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
        _com.release(factory.value, short=True)
    if hr < 0:
        if ptr:
            _com.release(ptr)
        raise com_error(hr)
    if progid not in _class_members():
        return CDispatch(ptr, lib, None, name)
    display, members, docs = _class_members()[progid]
    return _wrapper_class(progid)(ptr, lib, members, display, docs)


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
