"""The demo's PDF shows what it says it shows, in a small file."""

import os
import re
import sys

import pikepdf
from conftest import qpdf_check, run_tool

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples")
sys.path.insert(0, EXAMPLES)
import demo  # noqa: E402


def test_demo_pdf(tmp_path):
    path = str(tmp_path / "demo.pdf")
    assert demo.main(["demo.py", path]) == 0
    qpdf_check(path)
    assert os.path.getsize(path) <= 200_000
    with pikepdf.open(path) as pdf:
        images = {str(name): image for page in pdf.pages for name, image in page.images.items()}
        filters = sorted(str(image.Filter) if "/Filter" in image else "" for image in images.values())
        raw = [image.read_raw_bytes() for image in images.values()]
        fonts = [(str(font.BaseFont), font.Subtype) for page in pdf.pages for _, font in page.Resources.Font.items()]
        uris = [str(a.A.URI) for page in pdf.pages for a in page.get("/Annots", []) if a.Subtype == "/Link"]
    assert filters == ["/CCITTFaxDecode", "/DCTDecode", "/FlateDecode"]  # scan, photo, logo
    with open(os.path.join(EXAMPLES, "data", "photo.jpg"), "rb") as photo:
        assert photo.read() in raw
    assert any(re.fullmatch(r"/[A-Z]{6}\+DejaVuSans", name) and kind == "/Type0" for name, kind in fonts)  # subset
    assert uris == ["https://example.com/pagelith"]
    text = run_tool("pdftotext", path, "-", text=True).stdout
    for words in ("Καλημέρα κόσμε", "Съешь же ещё", "Zażółć gęślą jaźń"):
        assert words in text
