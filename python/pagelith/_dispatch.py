"""Late-bound calls through IDispatch, in the conventions of Python automation clients."""

import ctypes
import functools
import inspect
import os
from collections import namedtuple
from ctypes import byref, c_int32, c_uint32, c_void_p
from types import MappingProxyType, MethodType

from . import _com
from ._com import _fastcall
from ._com import (DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT, DISPID_PROPERTYPUT, VARIANT,
                   com_error)
from ._members import METHOD, PROPERTY

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1

RawVariant = namedtuple("RawVariant", "vt value")


class Variant:
    """An argument passed with an explicit variant type, e.g. Variant(VT_BOOL, 1) for a boolean that
    is neither 0 nor -1 (a plain int would be coerced by the server)."""

    _FIELDS = {_com.VT_I2: "iVal", _com.VT_I4: "lVal", _com.VT_R4: "fltVal", _com.VT_R8: "dblVal",
               _com.VT_BOOL: "boolVal", _com.VT_ERROR: "scode", _com.VT_I1: "cVal", _com.VT_UI1: "bVal",
               _com.VT_UI2: "uiVal", _com.VT_UI4: "ulVal", _com.VT_I8: "llVal", _com.VT_UI8: "ullVal",
               _com.VT_INT: "lVal", _com.VT_UINT: "ulVal"}

    def __init__(self, vt, value):
        if vt not in self._FIELDS and vt not in (_com.VT_EMPTY, _com.VT_NULL, _com.VT_BSTR,
                                                  _com.VT_ARRAY | _com.VT_UI1):
            raise TypeError("variant type %d is not supported as an argument" % vt)
        self.vt = vt
        self.value = value

    def __repr__(self):
        return "Variant(%d, %r)" % (self.vt, self.value)

# Errors after which a script host takes a name it tried to read as a property to be a method.
_BAD_CONTEXT = (_com.DISP_E_MEMBERNOTFOUND, _com.DISP_E_BADPARAMCOUNT, _com.DISP_E_PARAMNOTOPTIONAL,
                _com.DISP_E_TYPEMISMATCH, _com.E_INVALIDARG)


# ---------------------------------------------------------------------------------------------
# Arguments

def _put_arg(var, value, keep):
    """Fills VARIANT `var` from a Python value; memory it points to is appended to `keep`."""
    if isinstance(value, Variant):
        field = Variant._FIELDS.get(value.vt)
        if field is None:
            _put_arg(var, value.value, keep)  # strings, byte arrays, empty: the natural mapping
        else:
            setattr(var.u, field, value.value)
        var.vt = value.vt
    elif value is None:
        var.vt = _com.VT_EMPTY
    elif isinstance(value, bool):
        var.vt = _com.VT_BOOL
        var.u.boolVal = -1 if value else 0
    elif isinstance(value, int):
        if INT32_MIN <= value <= INT32_MAX:
            var.vt = _com.VT_I4
            var.u.lVal = value
        else:
            var.vt = _com.VT_R8
            var.u.dblVal = float(value)
    elif isinstance(value, float):
        var.vt = _com.VT_R8
        var.u.dblVal = value
    elif isinstance(value, str):
        bstr = _com.OwnedBSTR(value)
        keep.append(bstr)
        var.vt = _com.VT_BSTR
        var.u.ptr = bstr.address
    elif isinstance(value, (bytes, bytearray, memoryview)):
        array = _com.OwnedByteArray(value)
        keep.append(array)
        var.vt = _com.VT_ARRAY | _com.VT_UI1
        var.u.ptr = ctypes.addressof(array.array)
    elif isinstance(value, os.PathLike):  # file names: pathlib.Path and the like
        _put_arg(var, os.fsdecode(value), keep)
    elif isinstance(value, CDispatch):
        var.vt = _com.VT_DISPATCH
        var.u.ptr = value._ptr_
        keep.append(value)
    else:
        raise TypeError("Objects of type '%s' can not be converted to a COM VARIANT" % type(value).__name__)


def _make_params(args, put_value=(), keep=None):
    """DISPPARAMS for positional `args` (and the value of a property put), last argument first."""
    values = list(args)
    named = bool(put_value)
    if named:
        values.append(put_value[0])
    count = len(values)
    variants = (VARIANT * max(count, 1))()
    for position, value in enumerate(reversed(values)):
        _put_arg(variants[position], value, keep)
    params = _com.DISPPARAMS()
    params.cArgs = count
    params.rgvarg = ctypes.cast(variants, ctypes.POINTER(VARIANT)) if count else None
    keep.append(variants)
    if named:
        names = (c_int32 * 1)(DISPID_PROPERTYPUT)
        keep.append(names)
        params.rgdispidNamedArgs = names
        params.cNamedArgs = 1
    return params


# ---------------------------------------------------------------------------------------------
# Results

def _read_value(lib, var, raw):
    """The Python value of a VARIANT the caller owns; the VARIANT is cleared afterwards."""
    vt = var.vt
    take_reference = False
    try:
        if vt & _com.VT_BYREF:
            value = _read_byref(var)
        elif vt in (_com.VT_EMPTY, _com.VT_NULL):
            value = None
        elif vt in (_com.VT_I4, _com.VT_INT, _com.VT_ERROR):
            value = var.u.lVal
        elif vt == _com.VT_I2:
            value = var.u.iVal
        elif vt == _com.VT_I1:
            value = var.u.cVal
        elif vt == _com.VT_UI1:
            value = var.u.bVal
        elif vt == _com.VT_UI2:
            value = var.u.uiVal
        elif vt in (_com.VT_UI4, _com.VT_UINT):
            value = var.u.ulVal
        elif vt == _com.VT_I8:
            value = var.u.llVal
        elif vt == _com.VT_UI8:
            value = var.u.ullVal
        elif vt == _com.VT_R8:
            value = var.u.dblVal
        elif vt == _com.VT_R4:
            value = float(var.u.fltVal)
        elif vt == _com.VT_CY:
            value = var.u.llVal / 10000.0
        elif vt == _com.VT_DATE:
            value = var.u.dblVal
        elif vt == _com.VT_BOOL:
            value = var.u.boolVal if raw else var.u.boolVal != 0
        elif vt == _com.VT_BSTR:
            value = _com.read_bstr(var.u.ptr)
        elif vt == _com.VT_ARRAY | _com.VT_UI1:
            value = _com.read_safearray_bytes(var.u.ptr)
            if raw:
                value = (_com.safearray_lower_bound(var.u.ptr), value)
        elif vt == _com.VT_DISPATCH:
            value = CDispatch(var.u.ptr, lib) if var.u.ptr else None
            take_reference = True
        elif vt == _com.VT_UNKNOWN:
            value = None
            if var.u.ptr:
                hr, disp = _com.query_interface(var.u.ptr, _com.IID_IDispatch)
                value = CDispatch(disp, lib) if hr == 0 and disp else var.u.ptr
        else:
            raise com_error(_com.DISP_E_BADVARTYPE, "Result of variant type %d can not be converted" % vt)
    finally:
        if take_reference:
            var.vt = _com.VT_EMPTY  # the wrapper now owns the reference
        else:
            lib.clear_variant(var)
    return RawVariant(vt, value) if raw else value


def _read_byref(var):
    """Values passed by reference (seen in calls into the Response object)."""
    base = var.vt & ~_com.VT_BYREF
    p = var.u.ptr
    if not p:
        return None
    if base == _com.VT_VARIANT:
        return variant_to_python(VARIANT.from_address(p))
    copy = VARIANT()
    copy.vt = base
    if base == _com.VT_BSTR or base & _com.VT_ARRAY:
        copy.u.ptr = c_void_p.from_address(p).value
    else:
        ctypes.memmove(byref(copy.u), p, 8 if base in (_com.VT_R8, _com.VT_I8, _com.VT_UI8, _com.VT_CY,
                                                       _com.VT_DATE) else 4 if base in (
            _com.VT_I4, _com.VT_UI4, _com.VT_INT, _com.VT_UINT, _com.VT_R4, _com.VT_ERROR) else 2 if base in (
            _com.VT_I2, _com.VT_UI2, _com.VT_BOOL) else 1)
    return variant_to_python(copy)


def variant_to_python(var):
    """The value of a VARIANT someone else owns (nothing is freed or cleared)."""
    vt = var.vt
    if vt & _com.VT_BYREF:
        return _read_byref(var)
    if vt in (_com.VT_EMPTY, _com.VT_NULL):
        return None
    if vt == _com.VT_BSTR:
        return _com.read_bstr(var.u.ptr)
    if vt == _com.VT_ARRAY | _com.VT_UI1:
        return _com.read_safearray_bytes(var.u.ptr)
    if vt == _com.VT_BOOL:
        return var.u.boolVal != 0
    simple = {_com.VT_I4: "lVal", _com.VT_INT: "lVal", _com.VT_I2: "iVal", _com.VT_I1: "cVal",
              _com.VT_UI1: "bVal", _com.VT_UI2: "uiVal", _com.VT_UI4: "ulVal", _com.VT_UINT: "ulVal",
              _com.VT_I8: "llVal", _com.VT_UI8: "ullVal", _com.VT_R8: "dblVal", _com.VT_R4: "fltVal"}
    if vt in simple:
        return getattr(var.u, simple[vt])
    raise com_error(_com.DISP_E_BADVARTYPE, "Argument of variant type %d can not be converted" % vt)


# ---------------------------------------------------------------------------------------------
# Errors

def _excepinfo_tuple(lib, info):
    if info.pfnDeferredFillIn:
        fill = ctypes.CFUNCTYPE(c_int32, ctypes.POINTER(_com.EXCEPINFO))(info.pfnDeferredFillIn)
        fill(byref(info))
        info.pfnDeferredFillIn = None
    source = lib.take_bstr(info.bstrSource)
    description = lib.take_bstr(info.bstrDescription)
    helpfile = lib.take_bstr(info.bstrHelpFile)
    info.bstrSource = info.bstrDescription = info.bstrHelpFile = None
    return (info.wCode, source, description, helpfile, info.dwHelpContext, info.scode)


def raise_failure(lib, hr, info=None, argerr=None):
    """Raises com_error for a failed call, with the error's description from EXCEPINFO or the thread."""
    hr = _com.signed32(hr)
    if hr == _com.DISP_E_EXCEPTION and info is not None:
        excepinfo = _excepinfo_tuple(lib, info)
        scode = excepinfo[5] if excepinfo[5] else hr
        raise com_error(scode, None, excepinfo, argerr, invoke_hresult=hr)
    if info is not None:
        _excepinfo_tuple(lib, info)  # a server may fill it without saying so; free what it holds
    details = _com.fetch_error_info(lib)
    excepinfo = None
    if details is not None:
        source, description, helpfile, context = details
        excepinfo = (0, source, description, helpfile, context, hr)
    raise com_error(hr, None, excepinfo, argerr)


def _fail(lib, hr, info, argerr):
    """Raises com_error for a failed Invoke; the argument's position counts only for errors about one."""
    bad_argument = hr in (_com.DISP_E_TYPEMISMATCH, _com.DISP_E_PARAMNOTFOUND)
    raise_failure(lib, hr, info, argerr if bad_argument else None)


def _clear_error_info(lib):
    if lib.set_error_info is not None:
        lib.set_error_info(0, None)


# ---------------------------------------------------------------------------------------------
# Descriptions

_PY_TYPES = {"int": int, "float": float, "str": str, "bool": bool, "color": int, "variant": object,
             "None": None}


@functools.lru_cache(maxsize=None)
def _signature(params, result):
    # The leading "self" is what binding to the object drops.
    return inspect.Signature(
        [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY)] +
        [inspect.Parameter(p, inspect.Parameter.POSITIONAL_ONLY, annotation=_PY_TYPES[t]) for p, t in params],
        return_annotation=_PY_TYPES[result])


def _describe(function, name, qualname, info):
    """Names a member's function and gives it the real signature and help string from the member table."""
    function.__name__ = name
    function.__qualname__ = qualname
    if info is None:
        return
    _dispid, params, result, help_text = info
    function.__signature__ = _signature(params, result)
    function.__doc__ = help_text or None


def _method(name, qualname, dispid, flags, info, release):
    """The function of a method or an indexed property get, for binding to an object."""
    def call(self, *args):
        return self._invoke_(dispid, flags, args, release=release)

    _describe(call, name, qualname, info)
    return call


def _setter(name, qualname, dispid, info):
    """The function of Set<Name>: the arguments of an indexed property, then the value to set."""
    def put(self, *args):
        if not args:
            raise TypeError("Set%s needs the value to set" % name)
        self._invoke_(dispid, DISPATCH_PROPERTYPUT, args[:-1], (args[-1],), False, False)

    if info is not None:
        dispid, params, result, help_text = info
        info = (dispid, params + (("value", result),), "None", help_text)
    _describe(put, "Set" + name, qualname, info)
    return put


def describe_class(display, members, docs):
    """The text help() shows for an object: every member with its signature and help string."""
    lines = ["%s automation object." % display, "", "Members (see docs/members.md for codes and units):", ""]
    for name, kind, count, _ in sorted(members.values()):
        dispid, params, result, help_text = docs[name]
        args = ", ".join(p for p, _ in params)
        if kind == METHOD:
            head = "%s(%s) -> %s" % (name, args, result)
        elif count:
            head = "%s(%s) -> %s%s" % (name, args, result,
                                       "; put: Set%s(%s, value)" % (name, args) if kind == PROPERTY else "")
        else:
            head = "%s: %s%s" % (name, result, "" if kind == PROPERTY else " (read-only)")
        lines.append("    " + head)
        if help_text:
            lines.append("        " + help_text)
    return "\n".join(lines)


# ---------------------------------------------------------------------------------------------
# Objects

class _LongGet(int):
    """The plan of a property get that lets other threads run: its DISPID."""


# Per member table: what an attribute name, as spelled, comes to. Objects of one class share the table and
# so the DISPIDs the first of them was given.
_plans_by_table = {}
_NO_PLANS = MappingProxyType({})


def _plans_for(members):
    """(gets, puts) for the table: name -> DISPID of a property read on access, or the member's function;
    name -> DISPID of the property set by assigning to it."""
    if not members:
        return _NO_PLANS, _NO_PLANS
    entry = _plans_by_table.get(id(members))
    if entry is None:
        entry = _plans_by_table.setdefault(id(members), (members, {}, {}))  # keeps the table's id taken
    return entry[1], entry[2]


class CDispatch:
    """A late-bound automation object. Owns one reference to the interface pointer."""

    _gets_ = _puts_ = _NO_PLANS

    def __init__(self, ptr, lib, members=None, name=None, docs=None):
        object.__setattr__(self, "_docs_", docs or {})
        object.__setattr__(self, "_ptr_", ptr)
        object.__setattr__(self, "_lib_", lib)
        object.__setattr__(self, "_members_", members or {})
        object.__setattr__(self, "_name_", name or "<unknown>")
        object.__setattr__(self, "_dispids_", {})
        gets, puts = _plans_for(members)
        object.__setattr__(self, "_gets_", gets)
        object.__setattr__(self, "_puts_", puts)

    # Lifetime -----------------------------------------------------------------------------------

    def _release_(self):
        ptr = self._ptr_
        if ptr:
            object.__setattr__(self, "_ptr_", None)
            _com.release(ptr)

    def __del__(self):
        try:
            self._release_()
        except Exception:  # interpreter shutdown: nothing sensible left to do
            pass

    def __repr__(self):
        return "<COMObject %s>" % self._name_

    def __eq__(self, other):
        return isinstance(other, CDispatch) and other._ptr_ == self._ptr_

    def __hash__(self):
        return hash(self._ptr_)

    def __dir__(self):
        names = {entry[0] for entry in self._members_.values()}
        return sorted(names | {"Set" + n for n, kind, _, _ in self._members_.values() if kind == PROPERTY})

    # Names --------------------------------------------------------------------------------------

    def _lookup_(self, name):
        """The DISPID of `name`, or None when the server does not know it."""
        key = name.lower()
        cache = self._dispids_
        if key in cache:
            return cache[key]
        hr, ids = _com.get_ids_of_names(self._ptr_, [name])
        dispid = ids[0] if hr == 0 else None
        if hr != 0 and hr != _com.DISP_E_UNKNOWNNAME and hr != _com.DISP_E_MEMBERNOTFOUND:
            raise com_error(hr)
        cache[key] = dispid
        return dispid

    def _dispid_(self, name):
        dispid = self._lookup_(name)
        if dispid is None:
            raise AttributeError("%s.%s" % (self._name_, name))
        return dispid

    # Calls --------------------------------------------------------------------------------------

    def _invoke_(self, dispid, flags, args, put_value=(), raw=False, want_result=True, release=False):
        """Calls the member; release lets other threads run meanwhile (ctypes always does)."""
        ptr = self._ptr_
        fast = self._lib_.fast
        if ptr and fast is not None:
            try:
                value = fast.invoke(ptr, dispid, flags, args, put_value, raw, want_result, release)
            except _fastcall.Failure as failure:  # the error is raised below, without this as its context
                outcome = failure.args
            except _fastcall.Unread as unread:
                outcome = VARIANT.from_buffer_copy(unread.args[0])
            else:
                if value is not NotImplemented:  # else an argument only _put_arg converts
                    return RawVariant(*value) if raw else value
                outcome = None
            if outcome is not None:
                return self._finish_(dispid, outcome, raw)
        try:
            return self._call_(dispid, flags, args, put_value, raw, want_result)
        except com_error as error:
            self._name_error_(error, dispid)
            raise

    def _finish_(self, dispid, outcome, raw):
        """A fast call's result that Python reads, or its failure."""
        lib = self._lib_
        try:
            if isinstance(outcome, VARIANT):
                return _read_value(lib, outcome, raw)
            hr, info, argerr = outcome
            _fail(lib, hr, _com.EXCEPINFO.from_buffer_copy(info), argerr)
        except com_error as error:
            self._name_error_(error, dispid)
            raise

    def _name_error_(self, error, dispid):
        if error.member is None:
            error.member = self._member_name_(dispid)

    def _member_name_(self, dispid):
        for name, info in self._docs_.items():
            if info[0] == dispid:
                return name
        for name, value in self._dispids_.items():
            if value == dispid:
                return name
        return None

    def _call_(self, dispid, flags, args, put_value, raw, want_result):
        """The call through ctypes alone, for every argument and result type."""
        if not self._ptr_:
            raise com_error(_com.E_POINTER, "The object has been released")
        lib = self._lib_
        keep = []
        params = _make_params(args, put_value, keep)
        result = VARIANT() if want_result else None
        info = _com.EXCEPINFO()
        argerr = c_uint32(0)
        _clear_error_info(lib)
        hr = _com.invoke(self._ptr_, dispid, flags, params, result, info, argerr)
        del keep
        if hr < 0:
            if result is not None:
                lib.clear_variant(result)
            _fail(lib, hr, info, argerr.value)
        if result is None:
            return None
        return _read_value(lib, result, raw)

    # Attributes ---------------------------------------------------------------------------------

    def __getattr__(self, name):
        plan = self._gets_.get(name)
        if plan is None:
            plan = self._get_plan_(name)
            if plan is None:
                return self._get_undescribed_(name)
        if plan.__class__ is int:
            return self._invoke_(plan, DISPATCH_PROPERTYGET, ())
        if plan.__class__ is _LongGet:
            return self._invoke_(plan, DISPATCH_PROPERTYGET, (), release=True)
        return MethodType(plan, self)

    def _get_plan_(self, name):
        """What reading `name` does (see _plans_for), for a name the member table has; else None."""
        if name.startswith("_"):
            raise AttributeError(name)
        entry = self._members_.get(name.lower())
        if entry is not None:
            canonical, kind, count, long_call = entry
            dispid = self._dispid_(canonical)
            qualname = "%s.%s" % (self._name_, canonical)
            if kind == METHOD:
                plan = _method(canonical, qualname, dispid, DISPATCH_METHOD, self._docs_.get(canonical), long_call)
            elif count == 0:
                plan = _LongGet(dispid) if long_call else dispid
            else:
                plan = _method(canonical, qualname, dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                               self._docs_.get(canonical), long_call)
        elif name[:3].lower() == "set" and len(name) > 3:
            target = self._members_.get(name[3:].lower())
            if target is None or target[1] != PROPERTY:
                return None
            canonical = target[0]
            plan = _setter(canonical, "%s.Set%s" % (self._name_, canonical), self._dispid_(canonical),
                           self._docs_.get(canonical))
        else:
            return None
        self._gets_[name] = plan
        return plan

    def _get_undescribed_(self, name):
        qualname = "%s.%s" % (self._name_, name)
        dispid = self._lookup_(name)
        if dispid is None:
            if name[:3].lower() == "set" and len(name) > 3 and not self._members_:
                prop = self._lookup_(name[3:])
                if prop is not None:
                    return MethodType(_setter(name[3:], qualname, prop, None), self)
            raise AttributeError(qualname)
        # A member the table does not describe: read it as a property, take it for a method when the
        # server refuses a call without arguments. Its length is unknown, so other threads run meanwhile.
        try:
            return self._invoke_(dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, (), release=True)
        except com_error as error:
            if error.hresult in _BAD_CONTEXT:
                return MethodType(_method(name, qualname, dispid, DISPATCH_METHOD | DISPATCH_PROPERTYGET, None,
                                          True), self)
            raise

    def __setattr__(self, name, value):
        dispid = self._puts_.get(name)
        if dispid is None:
            if name.startswith("_"):
                object.__setattr__(self, name, value)
                return
            entry = self._members_.get(name.lower())
            dispid = self._lookup_(entry[0] if entry else name)
            if dispid is None:
                raise AttributeError("Property '%s.%s' can not be set." % (self._name_, name))
            if entry is not None:
                self._puts_[name] = dispid
        self._invoke_(dispid, DISPATCH_PROPERTYPUT, (), (value,), False, False)
