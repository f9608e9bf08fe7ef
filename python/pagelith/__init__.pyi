# The package's public names for type checkers and editors; the document object's members are
# generated from the server's member table into _document.pyi.
import os
from typing import Any, NamedTuple, TypeVar, overload

from . import constants as constants
from ._document import PDFSvrDoc as PDFSvrDoc

__all__ = ["Dispatch", "com_error", "dispid", "invoke_raw", "library", "library_path", "rgb", "constants",
           "packed_dib_handle", "CDispatch", "RawVariant", "Variant",
           "VARIANT", "VT_ARRAY", "VT_BOOL", "VT_BSTR", "VT_EMPTY", "VT_I2", "VT_I4", "VT_NULL", "VT_R8",
           "VT_UI1",
           "DISPATCH_METHOD", "DISPATCH_PROPERTYGET", "DISPATCH_PROPERTYPUT"]

_Object = TypeVar("_Object", bound="CDispatch")
_ExcepInfo = tuple[int, str | None, str | None, str | None, int, int]

class com_error(Exception):
    hresult: int
    strerror: str
    excepinfo: _ExcepInfo | None
    argerr: int | None
    invoke_hresult: int
    member: str | None
    def __init__(self, hresult: int, message: str | None = ..., excepinfo: _ExcepInfo | None = ...,
                 argerr: int | None = ..., invoke_hresult: int | None = ...) -> None: ...
    @property
    def description(self) -> str | None: ...
    @property
    def source(self) -> str | None: ...

class CDispatch:
    """A late-bound automation object."""
    def __eq__(self, other: object) -> bool: ...
    def __hash__(self) -> int: ...

class RawVariant(NamedTuple):
    vt: int
    value: Any

class Variant:
    vt: int
    value: Any
    def __init__(self, vt: int, value: Any) -> None: ...

VARIANT = Variant

VT_EMPTY: int
VT_NULL: int
VT_I2: int
VT_I4: int
VT_R8: int
VT_BSTR: int
VT_BOOL: int
VT_UI1: int
VT_ARRAY: int
DISPATCH_METHOD: int
DISPATCH_PROPERTYGET: int
DISPATCH_PROPERTYPUT: int

@overload
def Dispatch(name: str) -> PDFSvrDoc: ...
@overload
def Dispatch(name: _Object) -> _Object: ...
def dispid(obj: CDispatch, name: str) -> int: ...
def invoke_raw(obj: CDispatch, name: str, flags: int, *args: Any) -> RawVariant: ...
def library() -> Any: ...
def library_path() -> str: ...
def rgb(red: int, green: int, blue: int) -> int: ...
def packed_dib_handle(data: bytes | bytearray | memoryview) -> int: ...
