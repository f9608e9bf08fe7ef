"""The document object driven late-bound through the module, as a script host drives it."""

import gc
import os
import pathlib
import shutil

import pytest
from conftest import PROGID, rgb, simple_document

import pagelith

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

E_UNEXPECTED = -2147418113  # 0x8000FFFF
E_NOTIMPL = -2147467263  # 0x80004001
CO_E_CLASSSTRING = -2147221005  # 0x800401F3
REGDB_E_CLASSNOTREG = -2147221164  # 0x80040154
DISP_E_UNKNOWNNAME = -2147352570  # 0x80020006

# The members in DISPID order, from 201 on, one each: IPDFSvrDoc's 72, then IPDFSvrDoc2's.
MEMBERS = """
AddPage AddImageFile SaveToFile ApplyResource ScaleObject Locate CreateGraphic DrawLine Rectangle CreateText
WriteText Clear DeleteAllPages AddImageBMPHandle CurrentGraphic CurrentText LineWidth TextColor LineColor
FillColor CompressionBW CompressionIndexed CompressionRGB CompressionGray UseSourceCompression TextFont TextSize
ImageReadNumber ReleaseBMPHandle DefaultPageSize Units PageSize PageWidth PageHeight ImageWidth ImageHeight
BinaryWrite StreamFileName StreamInline StreamData AddImageBytes AddFont EmbedFont Rotate Title Subject Author
Keywords ImageCount TextLineSpacing TextAlign TextMaxWidth TextSkewX TextSkewY Ellipse Circle TextBlockHeight
SetFontOffset WriteLink TextUnderline LinkStandardFormat LinkColor LinkFont LinkUnderline LinkSize LinkBorder
TextLineWidth SetImageLink TextBlockWidth MergeAlpha MergeAlphaColor AppendText
UnicodeText SubsetFonts
""".split()

BOOLEANS = ["UseSourceCompression", "ReleaseBMPHandle", "TextUnderline", "LinkStandardFormat", "LinkUnderline",
            "LinkBorder", "MergeAlpha", "AppendText", "UnicodeText", "SubsetFonts"]


def raw_get(doc, name, *args):
    flags = pagelith.DISPATCH_PROPERTYGET | (pagelith.DISPATCH_METHOD if args else 0)
    return pagelith.invoke_raw(doc, name, flags, *args)


# Creation ------------------------------------------------------------------------------------

def test_dispatch_creates_independent_objects():
    first = pagelith.Dispatch(PROGID)
    second = pagelith.Dispatch("pagelithasp.pdfsvrdoc")  # ProgIDs are not case-sensitive
    first.Title = "one"
    assert second.Title == ""
    assert repr(first) == "<COMObject PagelithASP.PDFSvrDoc>"
    assert pagelith.Dispatch(first) is first


def test_dispatch_by_class_identifier():
    clsid = pagelith._config.CLSID_PDFSVRDOC
    doc = pagelith.Dispatch(clsid)
    doc.AddPage(0)
    assert doc.PageWidth(1) == 595


@pytest.mark.parametrize("name,hresult", [
    ("PagelithASP.Nothing", CO_E_CLASSSTRING),
    ("", CO_E_CLASSSTRING),
    ("{not a guid}", CO_E_CLASSSTRING),
    ("{00000000-1111-2222-3333-444444444444}", REGDB_E_CLASSNOTREG),
])
def test_unknown_classes_fail(name, hresult):
    with pytest.raises(pagelith.com_error) as caught:
        pagelith.Dispatch(name)
    assert caught.value.hresult == hresult
    assert caught.value.args[0] == hresult


def test_library_unloads_when_objects_are_gone():
    lib = pagelith.library()
    gc.collect()
    baseline = lib.can_unload()
    doc = pagelith.Dispatch(PROGID)
    assert lib.can_unload() == 1  # S_FALSE while an object lives
    del doc
    gc.collect()
    assert lib.can_unload() == baseline


# Names -------------------------------------------------------------------------------------

def test_all_members_have_their_dispids(doc):
    assert len(MEMBERS) == 74
    for offset, name in enumerate(MEMBERS):
        assert pagelith.dispid(doc, name) == 201 + offset, name
        assert pagelith.dispid(doc, name.upper()) == 201 + offset, name


def test_unknown_names(doc):
    with pytest.raises(pagelith.com_error) as caught:
        pagelith.dispid(doc, "NoSuchMember")
    assert caught.value.hresult == DISP_E_UNKNOWNNAME
    with pytest.raises(AttributeError):
        doc.NoSuchMember
    with pytest.raises(AttributeError):
        doc.NoSuchMember = 1


def test_attribute_names_are_case_insensitive(doc):
    doc.units = 2
    assert doc.UNITS == 2
    doc.addpage(0)
    assert doc.pagewidth(1) == pytest.approx(595 * 2.54 / 72)


# Defaults and conversions ---------------------------------------------------------------------------

def test_defaults_of_a_new_object(doc):
    expected = {
        "Units": 0, "DefaultPageSize": 1, "StreamInline": True, "StreamFileName": "", "CurrentGraphic": 0,
        "CurrentText": 0, "CompressionBW": 1, "CompressionIndexed": 2, "CompressionRGB": 2,
        "CompressionGray": 2, "UseSourceCompression": True, "ImageReadNumber": 1, "ReleaseBMPHandle": True,
        "Title": "", "Subject": "", "Author": "", "Keywords": "", "LinkBorder": False,
        "LinkStandardFormat": True, "LinkUnderline": True, "LinkSize": 10, "LinkFont": 15,
        "LinkColor": 0xFF0000, "MergeAlpha": False, "MergeAlphaColor": 0xFFFFFF, "AppendText": False,
        "LineWidth": 0, "LineColor": 0, "FillColor": 0xFFFFFF,
    }
    actual = {name: getattr(doc, name) for name in expected}
    assert actual == expected
    for name in ("StreamInline", "UseSourceCompression", "LinkBorder"):
        assert type(getattr(doc, name)) is bool
    assert raw_get(doc, "StreamInline") == (pagelith._com.VT_BOOL, -1)
    assert doc.PageSize(1) == 0  # no page yet


def test_result_types(doc):
    doc.AddPage(0)
    assert type(doc.Units) is int
    assert type(doc.PageWidth(1)) is float
    assert type(doc.Title) is str
    assert doc.AddPage(0) is None


def test_byte_properties_keep_the_low_byte(doc):
    doc.Units = 256
    assert doc.Units == 0
    doc.Units = 257
    assert doc.Units == 1
    doc.DefaultPageSize = 0x102
    assert doc.DefaultPageSize == 2
    doc.AddPage(0)
    doc.SetPageSize(1, 0xFF)
    assert 0 <= doc.PageSize(1) <= 127


def test_boolean_puts_read_back_as_minus_one(doc):
    doc.CreateText()  # TextUnderline belongs to the current text resource
    for name in BOOLEANS:
        setattr(doc, name, pagelith.Variant(pagelith.VT_BOOL, 1))
        assert raw_get(doc, name) == (pagelith._com.VT_BOOL, -1), name
        assert getattr(doc, name) is True
        setattr(doc, name, 0)
        assert raw_get(doc, name) == (pagelith._com.VT_BOOL, 0), name
        setattr(doc, name, True)
        assert getattr(doc, name) is True


def test_second_interface_settings_late_bound(doc):
    assert doc.UnicodeText is False and doc.SubsetFonts is False
    doc.UnicodeText = True
    assert doc.UnicodeText is True and doc.SubsetFonts is False
    doc.subsetfonts = True
    assert doc.SubsetFonts is True
    doc.Clear()  # settings, not content: they stay
    assert doc.UnicodeText is True and doc.SubsetFonts is True
    doc.UnicodeText = False
    doc.SubsetFonts = 0
    assert (doc.UnicodeText, doc.SubsetFonts) == (False, False)
    assert pagelith.dispid(doc, "UnicodeText") == 0x111
    assert pagelith.dispid(doc, "SubsetFonts") == 0x112
    assert (doc.MaxImagePixels, doc.ImageOrientation, doc.KeepAlpha) == (178956970, False, False)
    with pytest.raises(pagelith.com_error, match="MaxImagePixels must be"):
        doc.MaxImagePixels = -1


def test_stream_inline_keeps_the_value_given(doc):
    doc.StreamInline = pagelith.Variant(pagelith.VT_BOOL, 1)
    assert raw_get(doc, "StreamInline").value == 1
    assert doc.StreamInline is True
    doc.StreamInline = 1  # a number is coerced to a boolean on the way in, as for any script
    assert raw_get(doc, "StreamInline").value == -1
    doc.StreamInline = 0
    assert doc.StreamInline is False
    doc.StreamInline = False
    assert raw_get(doc, "StreamInline").value == 0


def test_colours_pass_unchanged(doc):
    doc.CreateGraphic()
    doc.FillColor = rgb(1, 2, 3)
    assert doc.FillColor == 0x030201
    doc.LinkColor = 0x00ABCDEF
    assert doc.LinkColor == 0x00ABCDEF


def test_strings_cross_as_utf16(doc):
    text = "Grüße – ☃ 𝄞 \"quoted\" (paren)"
    doc.Title = text
    assert doc.Title == text
    doc.StreamFileName = "a" * 5000
    assert doc.StreamFileName == "a" * 5000


# Property conventions -----------------------------------------------------------------------------

def test_indexed_properties(doc):
    doc.AddPage(0)
    assert doc.PageWidth(1) == 595
    assert doc.PageHeight(1) == 842
    doc.SetPageWidth(1, 612.0)
    doc.SetPageHeight(1, 792)
    assert (doc.PageWidth(1), doc.PageHeight(1)) == (612, 792)
    doc.Units = 1
    assert doc.PageWidth(1) == pytest.approx(8.5)
    assert doc.PageWidth(9) == 0  # no such page


def test_set_prefix_reaches_real_members(doc):
    # SetFontOffset and SetImageLink are members of their own: they are called, not turned into puts.
    doc.SetFontOffset(15, 3)
    doc.SetImageLink(1, 1, "http://example.com/")
    assert doc.SetFontOffset.__name__ == "SetFontOffset"


def test_zero_argument_property_put_through_set_prefix(doc):
    doc.SetUnits(2)
    assert doc.Units == 2


def test_methods_take_their_arguments(doc):
    with pytest.raises(pagelith.com_error):
        doc.AddPage()  # missing argument
    assert doc.ApplyResource(1, 1) == 0  # nothing to place yet, no error


def test_argument_conversions(doc):
    doc.AddPage(True)  # boolean -1: appended
    doc.AddPage("1")  # text becomes a number on the server
    doc.AddPage(2.0)
    doc.AddPage(None)
    assert doc.PageWidth(3) == 595
    doc.SetPageWidth(4, 2**40)  # out of int32: passed as a double
    with pytest.raises(TypeError):
        doc.AddPage(object())


# Every file name may be an os.PathLike: one conversion serves every member, so one reader and the writer.
@pytest.mark.parametrize("member,source,more,result", [("LoadFont", DEJAVU, (0,), 15), ("SaveToFile", None, (), None)])
def test_file_names_may_be_paths(member, source, more, result, tmp_path):
    for kind in (str, pathlib.Path):
        path = kind(tmp_path / ("größe-%s.pdf" % kind.__name__))
        if source:
            shutil.copyfile(source, path)
        doc = pagelith.Dispatch(PROGID)
        doc.AddPage(0)
        assert getattr(doc, member)(path, *more) == result
        assert os.path.isfile(path)


def test_placements_and_units(doc):
    simple_document(doc, pages=2)
    assert doc.CurrentGraphic == 1
    assert doc.ApplyResource(1, 1) == 2
    assert doc.ApplyResource(3, 1) == 0
    assert doc.ApplyResource(1, 9) == 0
    doc.Locate(1, 1, 10.5, 20)
    doc.ScaleObject(1, 1, 50)
    doc.Rotate(1, 1, 90)


# Errors -------------------------------------------------------------------------------------------

def test_missing_image_file(doc, tmp_path):
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageFile(str(tmp_path / "missing.png"))
    error = caught.value
    assert error.hresult == E_UNEXPECTED
    assert error.description == "File not found"
    assert error.source == PROGID
    assert error.args[0] == E_UNEXPECTED
    assert error.args[2][1:3] == (PROGID, "File not found")
    assert doc.CurrentGraphic == 0


def test_unsupported_image_bytes(doc):
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageBytes(b"this is no picture at all")
    if caught.value.hresult == E_NOTIMPL:
        pytest.skip("image intake is not in this build")
    assert caught.value.hresult == E_UNEXPECTED
    assert caught.value.description == "File is not a supported image format"
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageBytes(bytearray(b"neither is this"))
    assert caught.value.description == "File is not a supported image format"


def test_image_count_of_missing_file(doc, tmp_path):
    missing = str(tmp_path / "gone.tif")
    with pytest.raises(pagelith.com_error) as caught:
        doc.ImageCount(missing)
    assert caught.value.description == "File not found: " + missing


def test_error_after_error_carries_its_own_description(doc, tmp_path):
    with pytest.raises(pagelith.com_error):
        doc.AddImageFile(str(tmp_path / "a.png"))
    doc.AddPage(0)  # succeeds: no stale error is left behind
    target = str(tmp_path / "missing" / "out.pdf")
    with pytest.raises(pagelith.com_error) as caught:
        doc.SaveToFile(target)
    assert caught.value.description.startswith('Cannot create file "%s". ' % target)
