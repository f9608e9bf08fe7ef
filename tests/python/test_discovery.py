"""What a user finds from Python without reading the source: members, signatures, help, codes."""

import inspect
import pydoc

import pytest

import pagelith
from pagelith import constants as c
from pagelith import _members


@pytest.fixture
def doc():
    return pagelith.Dispatch("PagelithASP.PDFSvrDoc")


def test_dir_lists_every_member_and_no_internals(doc):
    names = dir(doc)
    members = [entry[0] for entry in _members.PDFSVRDOC_MEMBERS]
    assert len(members) == 87
    assert set(members) <= set(names)
    assert "SetPageWidth" in names and "SetTextSize" in names
    assert not [n for n in names if n.startswith("_")]


def test_members_carry_signature_and_help(doc):
    assert str(inspect.signature(doc.Rectangle)) == "(X1: float, Y1: float, X2: float, Y2: float, /) -> None"
    assert str(inspect.signature(doc.AddImageFile)) == "(FileName: str, /) -> int"
    assert doc.Rectangle.__doc__ == "Draws a rectangle on a graphic."
    text = pydoc.render_doc(doc.Rectangle, renderer=pydoc.plaintext)
    assert "Rectangle(X1: float, Y1: float, X2: float, Y2: float, /)" in text
    assert "Draws a rectangle on a graphic." in text
    assert str(inspect.signature(doc.SetPageWidth)) == "(Page: int, value: float, /) -> None"


def test_help_of_the_object_lists_members(doc):
    text = pydoc.render_doc(doc, renderer=pydoc.plaintext)
    assert "Rectangle(X1, Y1, X2, Y2) -> None" in text
    assert "PageWidth(Page) -> float; put: SetPageWidth(Page, value)" in text
    assert "ImageCount(FileName) -> int" in text
    assert "TextSize: int" in text


def test_constants_and_rgb_drive_the_document(doc, tmp_path):
    assert pagelith.rgb(255, 0, 0) == 0x0000FF == c.RED
    assert pagelith.rgb(0x12, 0x34, 0x56) == 0x563412
    with pytest.raises(ValueError):
        pagelith.rgb(256, 0, 0)
    doc.DefaultPageSize = c.LETTER
    doc.AddPage(0)
    assert (doc.PageWidth(1), doc.PageHeight(1)) == (612, 792)
    doc.Units = c.UNITS_INCHES
    assert doc.PageWidth(1) == pytest.approx(8.5)
    doc.CompressionRGB = c.COMPRESSION_DCT
    assert doc.CompressionRGB == c.COMPRESSION_DCT
    doc.CompressionRGB = c.COMPRESSION_CCITT_G4  # not for colour: ignored
    assert doc.CompressionRGB == c.COMPRESSION_DCT
    doc.CreateText()
    doc.TextFont = c.HELVETICA_BOLD
    assert doc.TextFont == 6


def test_error_text_leads_with_member_and_description(doc, tmp_path):
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageFile(str(tmp_path / "missing.png"))
    assert str(caught.value).startswith("AddImageFile: File not found")
    assert caught.value.hresult == -2147418113  # E_UNEXPECTED, as scripts see it
    assert caught.value.member == "AddImageFile"
