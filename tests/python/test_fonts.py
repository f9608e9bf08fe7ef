"""Fonts through LoadFont as a script loads them: one face of each kind, in both text modes, whole and
subset, checked against independent readers: FreeType (Pillow) draws the same string, fontTools opens
the embedded program and gives the advances, poppler and MuPDF render the page."""

import io
import re
import os

import numpy as np
import pikepdf
import pytest
from conftest import hb_shape, qpdf_check, run_tool
from fontTools.cffLib import CFFFontSet
from fontTools.ttLib import TTFont
from fontTools.ttLib.tables._c_m_a_p import cmap_format_4
from PIL import Image, ImageDraw, ImageFont

import pagelith

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FREESERIF = "/usr/share/fonts/opentype/freefont/FreeSerif.otf"
WQY = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
TEXT = "Hamburgefonstiv 0123 Qz"
SIZE, DPI, TOP = 24, 150, 50  # points, rendering resolution, the block's top on a 60-point page

pytestmark = pytest.mark.skipif(not all(map(os.path.exists, (DEJAVU, FREESERIF, WQY))),
                                reason="the Debian fonts are not installed")


def windows_names_only(path):
    font = TTFont(DEJAVU)
    font["name"].names = [n for n in font["name"].names if n.platformID == 3]
    font.save(path)


def symbol_encoded(path):
    """DejaVu's Latin-1 glyphs behind a (3,0) table at U+F020-U+F0FF, as barcode and dingbat fonts are."""
    font = TTFont(DEJAVU)
    table = cmap_format_4(4)
    table.platformID, table.platEncID, table.language = 3, 0, 0
    table.cmap = {0xF000 + c: g for c, g in font.getBestCmap().items() if 0x20 <= c <= 0xFF}
    font["cmap"].tables = [table]
    font.save(path)


# kind, file (or a maker of one), face
SAMPLES = [("ttf", DEJAVU, 0), ("otf_cff", FREESERIF, 0), ("ttc_face0", WQY, 0), ("ttc_face1", WQY, 1),
           ("windows_names", windows_names_only, 0), ("symbol", symbol_encoded, 0)]


def font_file(kind, source, tmp_path):
    if isinstance(source, str):
        return source
    path = str(tmp_path / (kind + ".ttf"))
    source(path)
    return path


def freetype_reference(path, face, symbol, size, shaped):
    """FreeType's drawing of TEXT, each glyph at the advance fontTools reads from the font, or where
    hb-shape puts it when the text is shaped."""
    image = Image.new("L", size, 255)
    px = SIZE * DPI / 72
    font = ImageFont.truetype(path, round(px), index=face, encoding="symb" if symbol else "")
    tt = TTFont(path, fontNumber=face)
    cmap = tt["cmap"].getcmap(3, 0).cmap if symbol else tt.getBestCmap()
    x, draw = 10 * DPI / 72, ImageDraw.Draw(image)
    advances = [g["ax"] for g in hb_shape(path, TEXT, face)] if shaped else None
    for i, c in enumerate(TEXT):
        code = 0xF000 + ord(c) if symbol else ord(c)
        draw.text((x, (60 - TOP + SIZE) * DPI / 72), chr(code), font=font, fill=0, anchor="ls")
        x += (advances[i] if shaped else tt["hmtx"][cmap[code]][0]) * px / tt["head"].unitsPerEm
    return np.asarray(image, dtype=float)


def embedded_program(pdf_path):
    """The one font's program, opened by fontTools: a TrueType file or a bare CFF table."""
    with pikepdf.open(pdf_path) as pdf:
        fonts = pdf.pages[0].Resources.Font
        font = fonts[next(iter(fonts.keys()))]
        if font.Subtype == "/Type0":
            font = font.DescendantFonts[0]
        descriptor = font.FontDescriptor
        if "/FontFile2" in descriptor:
            return TTFont(io.BytesIO(descriptor.FontFile2.read_bytes()))
        cff = CFFFontSet()
        cff.decompile(io.BytesIO(descriptor.FontFile3.read_bytes()), None)
        return cff


@pytest.mark.parametrize("subset", [False, True], ids=["whole", "subset"])
@pytest.mark.parametrize("unicode", [False, True], ids=["codepage", "unicode"])
@pytest.mark.parametrize("kind,source,face", SAMPLES, ids=[s[0] for s in SAMPLES])
def test_each_kind_draws_like_freetype(doc, tmp_path, kind, source, face, unicode, subset):
    path = font_file(kind, source, tmp_path)
    doc.UnicodeText, doc.SubsetFonts = unicode, subset
    number = doc.LoadFont(path, face)
    doc.SetEmbedFont(number, True)
    doc.AddPage(0)
    doc.SetPageWidth(1, 400)
    doc.SetPageHeight(1, 60)
    text = doc.CreateText()
    doc.TextFont, doc.TextSize = number, SIZE
    doc.WriteText(TEXT)
    doc.Locate(1, doc.ApplyResource(1, text), 10, TOP)
    pdf = tmp_path / "sample.pdf"
    doc.SaveToFile(str(pdf))

    qpdf_check(pdf)
    fonts = run_tool("pdffonts", str(pdf), text=True).stdout.splitlines()[2:]
    assert len(fonts) == 1 and fonts[0].split()[-5] == "yes", fonts  # embedded
    assert embedded_program(pdf) is not None
    run_tool("pdftoppm", "-r", str(DPI), "-gray", "-png", "-singlefile", str(pdf), str(tmp_path / "poppler"))
    run_tool("mutool", "draw", "-r", str(DPI), "-c", "gray", "-o", str(tmp_path / "mupdf.png"), str(pdf))
    for renderer in ("poppler", "mupdf"):
        page = np.asarray(Image.open(tmp_path / (renderer + ".png")).convert("L"), dtype=float)
        reference = freetype_reference(path, face, kind == "symbol", page.shape[::-1], unicode)
        # Rasterizers differ in anti-aliasing and in where they round an edge to: a pixel's difference
        # is the least against the reference moved by up to one pixel.
        difference = np.min([np.abs(page - np.roll(reference, (dy, dx), (0, 1)))
                             for dy in (-1, 0, 1) for dx in (-1, 0, 1)], axis=0)
        assert difference.mean() < 3, (renderer, difference.mean())
        assert (difference > 128).mean() < 0.001, (renderer, (difference > 128).mean())


def test_refusals_say_why(doc, tmp_path):
    fake = tmp_path / "notes.ttf"
    fake.write_bytes(b"%!PS-AdobeFont-1.0: Fake")
    for path, face, message in ((str(fake), 0, "Type 1 font"), (WQY, 7, "out of range: the file holds 3 faces"),
                                (str(tmp_path / "missing.ttf"), 0, "File not found")):
        with pytest.raises(pagelith.com_error) as error:
            doc.LoadFont(path, face)
        assert message in error.value.description


@pytest.mark.parametrize("kind,source,unicode,header", [
    ("ttf", DEJAVU, True, b"%PDF-1.2"), ("otf_cff", FREESERIF, False, b"%PDF-1.2"),
    ("otf_cff", FREESERIF, True, b"%PDF-1.3")])
def test_header_rises_only_for_cff_under_a_composite_font(doc, tmp_path, kind, source, unicode, header):
    doc.UnicodeText = unicode
    doc.SetEmbedFont(doc.LoadFont(source, 0), True)
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextFont = 15
    doc.WriteText("Subtype")
    doc.ApplyResource(1, text)
    pdf = bytes(doc.StreamData())
    assert pdf.startswith(header + b"\r")
    cff = {False: b"/Subtype /Type1C", True: b"/Subtype /CIDFontType0C"}[unicode]
    assert (cff in pdf) == (kind == "otf_cff")


def test_fallback_fonts_draw_what_the_font_lacks(doc, tmp_path):
    line = "Price 中文 한국어 かな €"
    doc.UnicodeText = doc.SubsetFonts = True
    sans = doc.AddFont(DEJAVU)
    doc.FallbackFonts = str(doc.LoadFont(WQY, 0))
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextFont, doc.TextSize = sans, 16
    doc.WriteText(line)
    doc.Locate(1, doc.ApplyResource(1, text), 40, 700)
    pdf = tmp_path / "fallback.pdf"
    doc.SaveToFile(str(pdf))
    qpdf_check(pdf)
    assert run_tool("pdftotext", str(pdf), "-", text=True).stdout.split() == line.split()
    with pikepdf.open(pdf) as document:
        assert len(document.pages[0].Resources.Font.keys()) == 2
        shown = b"".join(bytes(op.operands[0]) for op in pikepdf.parse_content_stream(document.pages[0])
                         if op.operator == pikepdf.Operator("Tj"))
    # Glyph 0 would be two zero bytes: every character found a glyph.
    assert all(shown[i:i + 2] != b"\0\0" for i in range(0, len(shown), 2))


@pytest.mark.parametrize("font", [5, 9, 1], ids=["Helvetica", "Times-Roman", "Courier"])
def test_standard_fonts_wrap_and_align(doc, tmp_path, font):
    doc.StandardFontMetrics = True
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextFont, doc.TextSize, doc.TextMaxWidth, doc.TextAlign = font, 12, 200, 2
    doc.WriteText("The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs. " * 2)
    doc.Locate(1, doc.ApplyResource(1, text), 300, 700)
    pdf = tmp_path / "standard.pdf"
    doc.SaveToFile(str(pdf))
    words = run_tool("pdftotext", "-bbox", str(pdf), "-", text=True).stdout
    right = {}
    for y, x_max in re.findall(r'yMin="([\d.]+)" xMax="([\d.]+)"', words):
        right[y] = max(right.get(y, 0), float(x_max))
    assert len(right) > 3
    assert all(abs(x - 300) <= 0.5 for x in right.values()), right
