"""Text beyond the code page and subset fonts through the module, as a script would use them, checked
with pikepdf and fontTools on the embedded programs."""

import io
import os

import pikepdf
import pytest
from conftest import qpdf_check, run_tool
from fontTools.ttLib import TTFont

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
IPA_GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"

pytestmark = pytest.mark.skipif(not (os.path.exists(DEJAVU) and os.path.exists(IPA_GOTHIC)),
                                reason="the Debian fonts are not installed")

LINES = [
    ("latin", "Zoë Łukasz, Příliš žluťoučký kůň, Größe"),
    ("greek", "Καλημέρα κόσμε"),
    ("cyrillic", "Съешь же ещё этих булок"),
    ("symbols", "→ ✓ € ≤ ∞"),
    ("cjk", "日本語の文章、漢字とかな"),
    ("astral", "𐌀𐌁𐌂 𝔸"),
]


def unicode_document(doc, subset):
    doc.UnicodeText = True
    doc.SubsetFonts = subset
    sans = doc.AddFont(DEJAVU)
    cjk = doc.AddFont(IPA_GOTHIC)
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextSize = 12
    for name, line in LINES:
        doc.TextFont = cjk if name == "cjk" else sans
        doc.WriteText(line)
    doc.Locate(1, doc.ApplyResource(1, text), 50, 800)


def embedded_programs(path):
    with pikepdf.open(path) as pdf:
        fonts = pdf.pages[0].Resources.Font
        for key in fonts.keys():
            font = fonts[key]
            if font.Subtype != "/Type0":
                continue
            descendant = font.DescendantFonts[0]
            yield str(font.BaseFont), descendant, TTFont(io.BytesIO(
                descendant.FontDescriptor.FontFile2.read_bytes()))


def test_every_line_reads_back_and_measures(doc, tmp_path):
    unicode_document(doc, subset=False)
    doc.TextFont = 15
    # Widths are the shaped glyphs' advances: Ł is measured, not taken for "?".
    font = TTFont(DEJAVU)
    advance = font["hmtx"][font.getBestCmap()[ord("Ł")]][0]
    assert doc.TextLineWidth("Ł") == pytest.approx(advance * 12 / font["head"].unitsPerEm)
    assert doc.TextLineWidth("Ł") != pytest.approx(doc.TextLineWidth("?"))
    path = tmp_path / "unicode.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    text = run_tool("pdftotext", "-raw", "-enc", "UTF-8", str(path), "-", text=True).stdout
    assert [line for line in text.splitlines() if line.strip()] == [line for _, line in LINES]
    fonts = {name: (descendant, program) for name, descendant, program in embedded_programs(path)}
    assert set(fonts) == {"/DejaVuSans", "/IPAGothic"}
    for descendant, program in fonts.values():
        assert descendant.Subtype == "/CIDFontType2"
        assert descendant.CIDToGIDMap == "/Identity"
        assert len(program.getGlyphOrder()) > 5000  # the whole font


def test_subset_programs_hold_the_used_glyphs_with_their_outlines(doc, tmp_path):
    unicode_document(doc, subset=True)
    path = tmp_path / "subset.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    programs = list(embedded_programs(path))
    assert len(programs) == 2
    whole = {"DejaVuSans": TTFont(DEJAVU), "IPAGothic": TTFont(IPA_GOTHIC)}
    for base_font, descendant, program in programs:
        tag, name = base_font[1:].split("+")
        assert len(tag) == 6 and tag.isalpha() and tag.isupper()
        assert str(descendant.FontDescriptor.FontName) == base_font
        original = whole[name]
        cmap = original.getBestCmap()
        used = {cmap[ord(c)] for line_name, line in LINES for c in line
                if ord(c) in cmap and (line_name == "cjk") == (name == "IPAGothic")}
        order = original.getGlyphOrder()
        kept = program["glyf"]
        for glyph_name in used:
            gid = original.getGlyphID(glyph_name)
            # Glyph IDs stay those of the whole font; the outline is the same.
            sub_glyph = kept[program.getGlyphOrder()[gid]]
            orig_glyph = original["glyf"][order[gid]]
            assert sub_glyph.getCoordinates(kept)[0] == orig_glyph.getCoordinates(original["glyf"])[0]
        drawn = sum(1 for g in program.getGlyphOrder() if kept[g].numberOfContours != 0)
        assert drawn <= len(used) + 40  # the used glyphs, glyph 0 and composite parts
    assert os.path.getsize(path) < 60_000


def test_the_example_writes_a_readable_file(tmp_path):
    import subprocess
    import sys
    example = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "unicode_text.py")
    path = tmp_path / "example.pdf"
    result = subprocess.run([sys.executable, example, str(path)], capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    qpdf_check(path)
    text = run_tool("pdftotext", "-raw", "-enc", "UTF-8", str(path), "-", text=True).stdout
    assert "Καλημέρα κόσμε" in text and "12 € → 10 € ✓" in text
