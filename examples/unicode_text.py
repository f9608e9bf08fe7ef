#!/usr/bin/env python3
"""Writes text in several scripts, shaped and in reading order, with a subset TrueType font and saves it.

    PYTHONPATH=build/python python3 examples/unicode_text.py [output.pdf]

Prints the path of the file written (default build/demo/unicode-text.pdf).
"""

import os
import sys

import pagelith

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "build", "demo", "unicode-text.pdf")
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

LINES = [
    "Zażółć gęślą jaźń — Polish",
    "Příliš žluťoučký kůň úpěl ďábelské ódy — Czech",
    "Καλημέρα κόσμε — Greek",
    "Съешь же ещё этих мягких французских булок — Russian",
    "Prices: 12 € → 10 € ✓",
    "Arabic, joined and right to left: مرحبا بالعالم",
    "Hebrew: שלום עולם, with kerning: AV Wa To",
]


def main() -> None:
    output = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.UnicodeText = True
    doc.SubsetFonts = True
    font = doc.AddFont(FONT)
    if not font:
        sys.exit("unicode_text: cannot load " + FONT)
    doc.AddPage(0)
    text = doc.CreateText()
    doc.TextFont = font
    doc.TextSize = 14
    doc.TextMaxWidth = 300
    for line in LINES:
        doc.WriteText(line)
    doc.Locate(1, doc.ApplyResource(1, text), 72, 770)
    doc.SaveToFile(output)
    print(output)


if __name__ == "__main__":
    main()
