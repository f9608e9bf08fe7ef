"""Long link targets over many laid-out pieces, read back the way viewers list links."""

import pytest

import pagelith
from conftest import PROGID, qpdf_check, run_tool

pikepdf = pytest.importorskip("pikepdf")

DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
URI = "http://example.com/" + "q" * (1024 * 1024 - 19)


@pytest.mark.parametrize("text,pieces", [(" ".join(["word"] * 2000), 2000), ("\n".join(["line"] * 500), 500)])
def test_every_piece_links_to_the_one_target(tmp_path, text, pieces):
    doc = pagelith.Dispatch(PROGID)
    doc.AddPage(0)
    font = doc.AddFont(DEJAVU)
    doc.CreateText()
    doc.TextFont = font
    doc.LinkFont = font
    doc.TextMaxWidth = 40.0  # one word per piece
    doc.WriteLink(text, URI)
    doc.ApplyResource(1, 1)
    doc.Locate(1, 1, 72.0, 800.0)
    path = tmp_path / "links.pdf"
    doc.SaveToFile(str(path))
    # Output grows with text plus target: one copy of the target, a small annotation per piece.
    assert path.stat().st_size < len(URI) + pieces * 200 + 65536
    qpdf_check(path)

    with pikepdf.open(path) as pdf:
        annots = pdf.pages[0].Annots
        assert len(annots) == pieces
        actions = {annot.A.objgen for annot in annots}
        assert len(actions) == 1 and actions != {(0, 0)}  # one shared, indirect action
        first = annots[0].A
        assert first.S == "/URI" and str(first.URI) == URI

    # A viewer's own link list: every link of the page, each with the whole target.
    script = tmp_path / "links.js"
    script.write_text("var page = new Document(scriptArgs[0]).loadPage(0);\n"
                      "var links = page.getLinks();\n"
                      "var whole = 0;\n"
                      "for (var i = 0; i < links.length; ++i) if (links[i].uri.length == %d) ++whole;\n"
                      "print(links.length + ' ' + whole);\n" % len(URI))
    result = run_tool("mutool", "run", str(script), str(path), text=True, timeout=300)
    if result.returncode != 0 and "getLinks" in result.stderr:
        pytest.skip("this mutool has no link list")
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == [str(pieces), str(pieces)]


def test_navigation_members_from_python(tmp_path):
    doc = pagelith.Dispatch(PROGID)
    doc.AddPage(0)
    doc.AddPage(0)
    assert doc.AddBookmark("Chapter \u00e9", 2, 700.0, 0) == 1
    doc.SetBookmarkOpen(1, True)
    doc.AddDestination("end", 2, 100.0)
    doc.PageMode = 1
    doc.StandardFontMetrics = True  # measured text carries links
    doc.CreateText()
    doc.WriteLink("to the end", "#end")
    doc.ApplyResource(1, 1)
    path = tmp_path / "outline.pdf"
    doc.SaveToFile(str(path))
    with pikepdf.open(path) as pdf, pdf.open_outline() as outline:
        assert outline.root[0].title == "Chapter \u00e9" and pdf.Root.PageMode == "/UseOutlines"
        assert pdf.pages[0].Annots[0].A.D == "/end" and pdf.Root.Dests.end[0] == pdf.pages[1].obj
