#!/usr/bin/env python3
"""Writes a 50-page report with a three-level outline in several scripts and a linked table of contents.

    PYTHONPATH=build/python python3 examples/outline_report.py [output.pdf]

Prints the path of the file written (default build/demo/outline-report.pdf).
"""

import os
import sys

import pagelith

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "build", "demo", "outline-report.pdf")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
CJK = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc"

# (title, level): a level nests under the latest entry one level up.
CHAPTERS = [
    ("Summary", 0), ("Résumé", 1), ("Überblick", 2), ("Введение", 1), ("Ελληνικά", 0), ("中文章节", 1),
    ("日本語の節", 2), ("한국어", 2), ("العربية", 1), ("עברית", 0), ("Method", 1), ("Données", 1),
    ("Ergebnisse", 2), ("Анализ", 0), ("Σύνοψη", 1), ("附录", 2), ("付録", 1), ("부록", 0), ("ملحق", 1),
    ("Index", 0),
]


def chapter_pages() -> list[tuple[int, float]]:
    """Each chapter's page and height in points."""
    return [(2 + 2 * i + i % 2, 800.0 - 20 * i) for i in range(len(CHAPTERS))]


def main() -> None:
    output = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.UnicodeText = True
    doc.SubsetFonts = True
    sans = doc.LoadFont(FONT, 0)
    if os.path.exists(CJK):
        doc.FallbackFonts = str(doc.LoadFont(CJK, 0))
    for _ in range(50):
        doc.AddPage(0)
    contents = doc.CreateText()
    doc.TextFont = doc.LinkFont = sans
    doc.WriteText("Contents\n")
    for n, ((title, level), (page, y)) in enumerate(zip(CHAPTERS, chapter_pages()), 1):
        mark = doc.AddBookmark(title, page, y, level)
        doc.SetBookmarkOpen(mark, level == 0)
        doc.WriteText("    " * level)
        doc.AppendText = True
        doc.WriteLink(f"{n}. {title} .... {page}\n", f"#page={page}&y={y}")
        doc.AppendText = False
        heading = doc.CreateText()
        doc.TextFont = sans
        doc.TextSize = 14
        doc.WriteText(title)
        doc.Locate(page, doc.ApplyResource(page, heading), 72, y)
        doc.CurrentText = contents
    doc.Locate(1, doc.ApplyResource(1, contents), 72, 780)
    doc.PageMode = 1
    doc.SaveToFile(output)
    print(output)


if __name__ == "__main__":
    main()
