"""Text end to end through the module: standard and TrueType fonts, wrapping, alignment, underline and
links, read back by real PDF tools."""

import json
import os

import pytest
from conftest import qpdf_check, rgb, run_tool

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
LIBERATION = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf"

pytestmark = pytest.mark.skipif(not (os.path.exists(DEJAVU) and os.path.exists(LIBERATION)),
                                reason="the Debian fonts are not installed")


def place(doc, page, text, x, y):
    index = doc.ApplyResource(page, text)
    doc.Locate(page, index, x, y)


def build(doc):
    doc.AddPage(0)
    doc.Title = "Text (end to end)"

    helvetica = doc.CreateText()
    doc.TextFont = 5
    doc.TextSize = 14
    doc.WriteText("Helvetica heading")
    place(doc, 1, helvetica, 72, 800)

    sans = doc.AddFont(DEJAVU)
    serif = doc.AddFont(LIBERATION)
    assert (sans, serif) == (15, 16)
    doc.SetEmbedFont(sans, True)
    assert doc.EmbedFont(sans) and not doc.EmbedFont(serif)

    body = doc.CreateText()
    doc.TextFont = sans
    doc.TextSize = 12
    doc.TextMaxWidth = 200
    doc.TextAlign = 1
    doc.TextUnderline = True
    doc.TextColor = rgb(0, 0, 128)
    doc.WriteText("Wrapped centred underlined words in an embedded TrueType font")
    doc.TextUnderline = False
    doc.TextFont = serif
    doc.LinkFont = serif
    doc.LinkBorder = True
    doc.WriteLink("Serif link", "http://example.com/a(b)c")
    place(doc, 1, body, 300, 700)
    return body


def save(doc, tmp_path):
    path = tmp_path / "text.pdf"
    doc.SaveToFile(str(path))
    return path


def annotations(path):
    objects = json.loads(run_tool("qpdf", "--json=2", "--json-key=qpdf", str(path)).stdout)["qpdf"][1]
    value = lambda ref: objects["obj:" + ref]["value"]  # noqa: E731
    page = value(value(value("1 0 R")["/Pages"])["/Kids"][0])
    result = []
    for ref in page.get("/Annots", []):
        a = value(ref)
        action = a["/A"]
        action = value(action) if isinstance(action, str) else action  # shared, indirect
        uri = action["/URI"]
        result.append((uri[2:] if uri.startswith("u:") else uri, a["/Rect"], a["/Border"][2]))
    return result


def test_text_reads_back_with_fonts_and_links(doc, tmp_path):
    build(doc)
    path = save(doc, tmp_path)
    qpdf_check(path)

    words = run_tool("pdftotext", "-layout", str(path), "-", text=True).stdout.split()
    for word in "Helvetica heading Wrapped centred underlined words in an embedded TrueType font Serif link".split():
        assert word in words

    fonts = {}
    for line in run_tool("pdffonts", str(path), text=True).stdout.splitlines()[2:]:
        columns = line.split()
        fonts[columns[0]] = (columns[1], columns[-5])  # type, embedded
    assert fonts["Helvetica"] == ("Type", "no")
    assert fonts["DejaVuSans"] == ("TrueType", "yes")
    assert fonts["LiberationSerif"] == ("TrueType", "no")

    (uri, rect, border), = annotations(path)
    assert uri == "http://example.com/a(b)c"
    assert border == 1
    left, bottom, right, top = rect
    assert right > left and 12 <= top - bottom <= 13  # LinkSize 10: a quarter below, one size above

    rendered = run_tool("pdftoppm", "-r", "30", "-png", str(path), str(tmp_path / "page"))
    assert rendered.returncode == 0 and not rendered.stderr, rendered.stderr
    assert (tmp_path / "page-1.png").exists()


def test_wrapping_and_block_size_through_the_interface(doc):
    body = build(doc)
    doc.CurrentText = body
    width, height = doc.TextBlockWidth, doc.TextBlockHeight
    assert 0 < width <= 200
    assert height > 3 * 12  # the paragraph wraps onto several lines
    assert doc.TextLineWidth("abc") > 0
    doc.Units = 1  # inches: the same block measured in another unit
    assert doc.TextBlockWidth == pytest.approx(width / 72)
    doc.CurrentText = 1  # Helvetica cannot be measured
    assert doc.TextBlockWidth == -1 and doc.TextLineWidth("abc") == 0
