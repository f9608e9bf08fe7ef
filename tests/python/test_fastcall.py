"""The _fastcall extension against the ctypes calls, the oracle: the same VARIANTs in, the same values out."""

import ctypes
import pathlib
from ctypes import c_uint32

import pytest
from conftest import PROGID

import pagelith
from pagelith import _com, _response
from pagelith._com import SAFEARRAY, VARIANT

INT32_MIN, INT32_MAX = -(2**31), 2**31 - 1
METHOD, PUT = pagelith.DISPATCH_METHOD, pagelith.DISPATCH_PROPERTYPUT
DISP_E_TYPEMISMATCH = -2147352571


def variant_bytes(var):
    """A VARIANT with what it points to, without the addresses."""
    head = bytes(var)[:8]
    if var.vt == _com.VT_BSTR:
        length = c_uint32.from_address(var.u.ptr - 4).value
        return head + ctypes.string_at(var.u.ptr - 4, length + 6)  # length, text and terminator
    if var.vt == _com.VT_ARRAY | _com.VT_UI1:
        array = SAFEARRAY.from_address(var.u.ptr)
        return head + bytes(array)[:12] + bytes(array.rgsabound) + ctypes.string_at(
            array.pvData, array.rgsabound[0].cElements)
    return head + bytes(var.u)


class Recorder:
    """An IDispatch that records each call's DISPPARAMS byte for byte and answers with `answer(result)`."""

    def __init__(self):
        self.calls = []
        self.answer = lambda result: 0
        self.vtbl = _response._Vtbl(AddRef=_response._AddRef(lambda this: 1),
                                    Release=_response._Release(lambda this: 1), Invoke=_response._Invoke(self.invoke))
        self.interface = _response._Interface(ctypes.pointer(self.vtbl))
        self.object = pagelith.CDispatch(ctypes.addressof(self.interface), pagelith.library())

    def invoke(self, this, dispid, riid, lcid, flags, params, result, excepinfo, argerr):
        p = params.contents
        self.calls.append((dispid, bytes(riid.contents), lcid, flags, p.cNamedArgs and p.rgdispidNamedArgs[0],
                           [variant_bytes(p.rgvarg[i]) for i in range(p.cArgs)], bool(result)))
        argerr[0] = 1
        return self.answer(result.contents if result else None)


def both_paths(monkeypatch, call):
    """What `call` comes to through the extension and through ctypes: value or (exception type, args)."""
    outcomes = []
    for fast in (pagelith.library().fast, None):
        monkeypatch.setattr(pagelith.library(), "fast", fast)
        try:
            outcomes.append(call())
        except Exception as error:
            outcomes.append((type(error), error.args, getattr(error, "member", None), error.__context__))
    return outcomes


# (arguments, whether the extension converts them itself)
ARGUMENTS = [
    ((0, INT32_MAX, INT32_MIN), True), ((INT32_MAX + 1, INT32_MIN - 1, 2**70), True), ((2**1100,), False),
    ((True, False, None), True), ((1.5, -0.0, float("inf")), True),
    (("", "Grüße € \0 nul", "𝄞 pair", "\ud800 lone"), True),
    ((b"", b"\0\xff", bytearray(b"ab"), memoryview(b"xyz")), True), ((memoryview(b"abcd")[::2],), False),
    ((pagelith.Variant(pagelith.VT_I2, 5), pathlib.Path("a.pdf")), False),
]


@pytest.mark.parametrize("args,converted", ARGUMENTS)
def test_arguments_cross_as_through_ctypes(monkeypatch, args, converted):
    recorder = Recorder()
    fast = pagelith.library().fast
    outcome = fast.invoke(recorder.object._ptr_, 7, METHOD, args, (), False, True, False)
    assert (outcome is not NotImplemented) == converted
    for flags, positional, put in ((METHOD, args, ()), (PUT, args[:-1], args[-1:])):
        recorder.calls.clear()
        outcomes = both_paths(monkeypatch, lambda: recorder.object._invoke_(7, flags, positional, put))
        assert outcomes[0] == outcomes[1]
        assert recorder.calls[:1] == recorder.calls[1:]


def put_bstr(var, text):
    var.vt, var.u.ptr = _com.VT_BSTR, pagelith.library().alloc_bstr(text)


def put_bytes(var, lower_bound, data):
    create = pagelith.library().dll.SafeArrayCreateVector  # the server's allocator, as VariantClear frees it
    create.restype, create.argtypes = ctypes.c_void_p, [ctypes.c_uint16, ctypes.c_int32, c_uint32]
    var.vt, var.u.ptr = _com.VT_ARRAY | _com.VT_UI1, create(_com.VT_UI1, lower_bound, len(data))
    ctypes.memmove(SAFEARRAY.from_address(var.u.ptr).pvData, data, len(data))


def put_field(vt, field, value):
    def put(var):
        var.vt = vt
        setattr(var.u, field, value)
    return put


RESULTS = [
    lambda var: None, put_field(_com.VT_NULL, "lVal", 0), put_field(_com.VT_I4, "lVal", INT32_MIN),
    put_field(_com.VT_INT, "lVal", -1), put_field(_com.VT_ERROR, "lVal", DISP_E_TYPEMISMATCH),
    put_field(_com.VT_I2, "iVal", -2), put_field(_com.VT_UI1, "bVal", 255), put_field(_com.VT_BOOL, "boolVal", 1),
    put_field(_com.VT_BOOL, "boolVal", -1), put_field(_com.VT_BOOL, "boolVal", 0),
    put_field(_com.VT_R8, "dblVal", 0.1), put_field(_com.VT_R4, "fltVal", 0.1),
    put_field(_com.VT_UI4, "ulVal", 2**32 - 1), put_field(_com.VT_I8, "llVal", -2**63),
    put_field(_com.VT_CY, "llVal", 12345), put_field(_com.VT_DECIMAL, "llVal", 1),
    lambda var: put_bstr(var, "Grüße \0 𝄞 \ud800"), lambda var: put_bstr(var, ""),
    lambda var: put_bytes(var, 1, b"%PDF\0"), lambda var: put_bytes(var, 0, b""),
    put_field(_com.VT_DISPATCH, "ptr", None), "the recorder itself",
]


@pytest.mark.parametrize("answer", RESULTS)
@pytest.mark.parametrize("raw", [False, True])
def test_results_read_as_through_ctypes(monkeypatch, answer, raw):
    recorder = Recorder()
    if answer == "the recorder itself":
        answer = put_field(_com.VT_DISPATCH, "ptr", recorder.object._ptr_)
    recorder.answer = lambda result: answer(result) or 0
    outcomes = both_paths(monkeypatch, lambda: recorder.object._invoke_(7, METHOD, (), raw=raw))
    assert outcomes[0] == outcomes[1]


def test_failures_raise_as_through_ctypes(monkeypatch, tmp_path):
    recorder = Recorder()
    recorder.answer = lambda result: DISP_E_TYPEMISMATCH
    outcomes = both_paths(monkeypatch, lambda: recorder.object._invoke_(7, METHOD, ("a", 2)))
    assert outcomes[0] == outcomes[1] and outcomes[0][1][3] == 1  # the argument's position
    doc = pagelith.Dispatch(PROGID)
    outcomes = both_paths(monkeypatch, lambda: doc.AddImageFile(str(tmp_path / "missing.png")))
    assert outcomes[0] == outcomes[1] and outcomes[0][1][2][2] == "File not found"
    assert outcomes[0][2] == "AddImageFile" and outcomes[0][3] is None


def test_document_members_through_the_extension(monkeypatch):
    doc = pagelith.Dispatch(PROGID)
    doc.AddPage(0)

    def round_trip():
        doc.SetTitle("Grüße 𝄞")
        return doc.Title, doc.PageWidth(1), doc.UnicodeText, doc.StreamData()[:5]

    assert both_paths(monkeypatch, round_trip) == [("Grüße 𝄞", 595, False, b"%PDF-")] * 2


def test_long_calls_alone_let_other_threads_run(monkeypatch):  # methods, property reads and writes alike
    fast, seen, doc = pagelith.library().fast, [], pagelith.Dispatch(PROGID)

    class Spy:
        def invoke(self, *args):
            seen.append(args[7])  # release
            return fast.invoke(*args)

    monkeypatch.setattr(pagelith.library(), "fast", Spy())
    _ = doc.StreamData(), doc.TextBlockHeight, doc.Locate(1, 1, 0, 0), doc.TextSize, doc.SetTextSize(9)
    assert seen == [True, True, False, False, False]
