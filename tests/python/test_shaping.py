"""Shaped, bidirectional and wrapped Unicode text, read back from the content stream and checked
against hb-shape, fribidi and pdftotext."""

import os
import re
import unicodedata
from collections import namedtuple

import pikepdf
import pytest
from conftest import hb_shape, run_tool
from fontTools.ttLib import TTFont

NOTO = "/usr/share/fonts/truetype/noto/"
THAI, DEVANAGARI = NOTO + "NotoSansThai-Regular.ttf", NOTO + "NotoSansDevanagari-Regular.ttf"
LIBERTINE = "/usr/share/fonts/opentype/linux-libertine/LinLibertine_R.otf"
IPA_GOTHIC = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf"
NASKH, SANS = NOTO + "NotoNaskhArabic-Regular.ttf", NOTO + "NotoSans-Regular.ttf"
HEBREW = NOTO + "NotoSansHebrew-Regular.ttf"
DIRECTION_MARKS = re.compile("[\u200e\u200f\u202a-\u202e\u2066-\u2069]")

pytestmark = pytest.mark.skipif(not all(map(os.path.exists, (LIBERTINE, IPA_GOTHIC, NASKH, SANS))),
                                reason="the Noto, Libertine and IPA fonts are not installed")

Glyph = namedtuple("Glyph", "font gid x y start baseline")


def write(doc, path, font, paragraph, size=12, width=2000, align=0, features="", fallback=None, x=40):
    doc.UnicodeText = True
    doc.TextFeatures = features
    number = doc.LoadFont(font, 0)
    if fallback:
        doc.FallbackFonts = str(doc.LoadFont(fallback, 0))
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextFont, doc.TextSize, doc.TextMaxWidth, doc.TextAlign = number, size, width, align
    doc.WriteText(paragraph)
    doc.Locate(1, doc.ApplyResource(1, text), x, 800)
    doc.SaveToFile(str(path))
    return str(path)


def widths(font):
    """The CIDFont's advances by glyph ID, in thousandths of an em."""
    cid = font.DescendantFonts[0]
    table, items = {}, list(cid.get("/W", []))
    while items:
        first, rest = int(items[0]), items[1]
        if isinstance(rest, pikepdf.Array):
            table.update({first + i: float(w) for i, w in enumerate(rest)})
            items = items[2:]
        else:
            table.update({gid: float(items[2]) for gid in range(first, int(rest) + 1)})
            items = items[3:]
    default = float(cid.get("/DW", 1000))
    return lambda gid: table.get(gid, default)


def to_unicode(font):
    cmap, data = {}, font.ToUnicode.read_bytes().decode("latin-1")
    for block in re.findall(r"beginbfchar(.*?)endbfchar", data, re.S):
        for code, text in re.findall(r"<(\w+)>\s*<(\w+)>", block):
            cmap[int(code, 16)] = bytes.fromhex(text).decode("utf-16-be")
    for block in re.findall(r"beginbfrange(.*?)endbfrange", data, re.S):
        for low, high, text in re.findall(r"<(\w+)>\s*<(\w+)>\s*<(\w+)>", block):
            for offset in range(int(high, 16) - int(low, 16) + 1):
                cmap[int(low, 16) + offset] = chr(int(text, 16) + offset)
    return cmap


def shown_glyphs(path):
    """Every glyph drawn on page 1 with its origin in points, in stream order, and each font's ToUnicode."""
    glyphs, font, x, y, size, rise = [], None, 0, 0, 0, 0
    with pikepdf.open(path) as pdf:
        fonts = pdf.pages[0].Resources.Font
        advance = {name: widths(fonts[name]) for name in fonts.keys()}
        cmaps = {name: to_unicode(fonts[name]) for name in fonts.keys()}
        for operands, operator in pikepdf.parse_content_stream(pdf.pages[0]):
            operator = str(operator)
            if operator == "Tf":
                font = str(operands[0])
            elif operator == "Tm":
                size, start, y = float(operands[0]), float(operands[4]), float(operands[5])
                x = start
            elif operator == "Ts":
                rise = float(operands[0])
            elif operator in ("Tj", "TJ"):
                for item in operands[0] if operator == "TJ" else operands:
                    if isinstance(item, pikepdf.String):
                        data = bytes(item)
                        for i in range(0, len(data), 2):
                            gid = int.from_bytes(data[i:i + 2], "big")
                            glyphs.append(Glyph(font, gid, x, y + rise * size, start, y))
                            x += advance[font](gid) * size / 1000
                    else:
                        x -= float(item) * size / 1000
    return glyphs, cmaps


def visual_lines(path):
    """Each line's text in drawing order, top line first, from the glyphs' ToUnicode entries."""
    glyphs, cmaps = shown_glyphs(path)
    lines = {}
    for glyph in glyphs:
        lines.setdefault(round(glyph.baseline, 2), []).append(glyph)
    return [("".join(cmaps[g.font].get(g.gid, "") for g in line), line)
            for _, line in sorted(lines.items(), reverse=True)]


SHAPED = [
    ("arabic", NASKH, "بِسْمِ اللَّهِ الرَّحْمَٰنِ الرَّحِيمِ", ""),
    ("persian", NOTO + "NotoSansArabic-Regular.ttf", "می‌خواهم زبان فارسی را یاد بگیرم", ""),
    ("hebrew", HEBREW, "שָׁלוֹם עוֹלָם מה שְׁלוֹמְךָ", ""),
    ("devanagari", DEVANAGARI, "हिन्दी में क्षत्रिय और श्रृंखला", ""),
    ("bengali", NOTO + "NotoSansBengali-Regular.ttf", "আমি বাংলায় গান গাই, লক্ষ্মী", ""),
    ("thai", THAI, "ภาษาไทย ผู้ใหญ่ปั่นจักรยาน", ""),
    ("vietnamese", SANS, "Tiếng Việt có dấu: ặ ẫ ờ", ""),
    ("stacked-marks", SANS, "q̣̂ ŋ̈́ x̌̃", ""),
    ("kerning-ligatures", LIBERTINE, "AV Wa To office ffl fi", ""),
    ("features-off", LIBERTINE, "AV Wa To office ffl fi", "-kern,-liga"),
]


@pytest.mark.parametrize("font, text, features", [case[1:] for case in SHAPED],
                         ids=[case[0] for case in SHAPED])
def test_glyphs_and_pen_positions_are_harfbuzz(doc, tmp_path, font, text, features):
    size = 20
    glyphs, _ = shown_glyphs(write(doc, tmp_path / "line.pdf", font, text, size, features=features))
    expected = hb_shape(font, text, features=features)
    assert [g.gid for g in glyphs] == [e["g"] for e in expected] and 0 not in [e["g"] for e in expected]
    scale, pen, want = size / TTFont(font, fontNumber=0)["head"].unitsPerEm, 0, []
    for e in expected:
        want += [(pen + e["dx"]) * scale, e["dy"] * scale]
        pen += e["ax"]
    got = [value for g in glyphs for value in (g.x - glyphs[0].start, g.y - g.baseline)]
    assert got == pytest.approx(want, abs=0.01)


def fribidi_visual(line):
    """The line's display order in a right-to-left paragraph (its own first letter may be Latin). fribidi
    joins Arabic into presentation forms: NFKC takes them back to letters, a ligature's in logical order."""
    result = run_tool("fribidi", "--nopad", "--nobreak", "--rtl", input=line + "\n", text=True)
    return unicodedata.normalize("NFKC", result.stdout.rstrip("\n"))


BIDI = [
    ("hebrew", HEBREW, "הספר Programming Pearls נמכר ב-350 עותקים בשנת 2024 ועוד 17 בחנות הקטנה שליד הים"),
    ("arabic", NASKH, "زار محمد مدينة London في عام 2019 واشترى 35 كتابا عن تاريخ المدينة القديمة وأسواقها"),
]


@pytest.mark.parametrize("width", [110, 170, 260])
@pytest.mark.parametrize("font, paragraph", [case[1:] for case in BIDI], ids=[case[0] for case in BIDI])
def test_lines_are_in_fribidi_visual_order_and_right_aligned(doc, tmp_path, font, paragraph, width):
    path = write(doc, tmp_path / "bidi.pdf", font, paragraph, 14, width, align=2, fallback=SANS, x=450)
    lines, rest = visual_lines(path), paragraph
    assert len(lines) > 1
    for text, _ in lines:
        # The line holds the next logical stretch with as many letters as it draws.
        count = len(text.replace(" ", ""))
        taken = next(i for i in range(len(rest) + 1) if len(rest[:i].replace(" ", "")) == count)
        logical, rest = rest[:taken].strip(), rest[taken:]
        assert text.strip() == fribidi_visual(logical).strip(), logical
    assert not rest.strip()
    layout = run_tool("pdftotext", "-bbox-layout", path, "-", text=True).stdout
    found = re.findall(r'<line xMin="(-?[\d.]+)".*?xMax="(-?[\d.]+)"', layout)
    boxes = [(float(low), float(high)) for low, high in found]
    assert len(boxes) == len(lines)
    assert all(low >= 450 - width - 0.01 for low, _ in boxes), boxes
    assert [high for _, high in boxes] == pytest.approx([450] * len(boxes), abs=0.5)  # ends at the placement


JAPANESE = ("「吾輩は猫である。」と彼は言った。「名前はまだ無い。」どこで生まれたかとんと見当がつかぬ。"
            "何でも薄暗いじめじめした所で泣いていた事だけは記憶している。「吾輩はここで始めて人間というものを見た。」")


# Filling each line to the last character that fits would start a line with "。" or "」" at these widths.
@pytest.mark.parametrize("width", [73, 100, 198])
def test_japanese_breaks_between_characters_but_not_around_brackets_and_stops(doc, tmp_path, width):
    lines = visual_lines(write(doc, tmp_path / "ja.pdf", IPA_GOTHIC, JAPANESE, 12, width))
    assert len(lines) > 2
    assert "".join(text for text, _ in lines) == JAPANESE
    for text, glyphs in lines:
        assert text[0] not in "。、」" and text[-1] != "「", text
        assert glyphs[-1].x + 12 - glyphs[0].start <= width + 0.01  # IPAGothic's ideographs are 1 em wide


EXTRACTED = [
    pytest.param(LIBERTINE, "affluent office fish waffle", "-raw", id="ligatures"),
    pytest.param(SANS, "Καλημέρα κόσμε, ὁ λόγος", "-raw", id="greek"),
    pytest.param(SANS, "Съешь же ещё этих мягких булок", "-raw", id="cyrillic"),
    # A tone mark placed left of its origin reads as a gap after it: only the letters are sure to come back.
    pytest.param(THAI, "ภาษาไทย ผู้ใหญ่ปั่นจักรยาน", "letters", id="thai"),
    pytest.param(HEBREW, "שלום עולם מה שלומך", None, id="hebrew"),
    pytest.param(NASKH, "مرحبا بكم في المدينة", None, id="arabic"),
    # The vowel sign ि is drawn before its consonant, so only the letters, not their order, can come back.
    pytest.param(DEVANAGARI, "ति त्रि", "letters", id="devanagari"),
]


@pytest.mark.parametrize("font, text, mode", EXTRACTED)
def test_pdftotext_reads_the_logical_text(doc, tmp_path, font, text, mode):
    path = write(doc, tmp_path / "extract.pdf", font, text, 14)
    args = ["pdftotext", "-enc", "UTF-8"] + ([] if mode is None else ["-raw"]) + [path, "-"]
    got = DIRECTION_MARKS.sub("", run_tool(*args, text=True).stdout).strip()
    letters = lambda s: sorted(s.replace(" ", ""))
    assert letters(got) == letters(text) if mode == "letters" else got == text
