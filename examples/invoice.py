#!/usr/bin/env python3
"""Builds a two-page invoice: a subset DejaVu font, a PNG logo, a table of 40 lines and a link.

    PYTHONPATH=build/python python3 examples/invoice.py [output.pdf]

Other programs import build_invoice(number), which returns the PDF's bytes; the web server benchmark and
the batch example build this same invoice.
"""

import os
import sys

import pagelith

HERE = os.path.dirname(os.path.abspath(__file__))
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LOGO = os.path.join(HERE, "data", "logo.png")
LINES = 40
ROWS_ON_FIRST_PAGE = 25


def line_items(number: int) -> list[tuple[str, int, int]]:
    """The invoice's lines: (description, quantity, unit price in cents)."""
    return [(f"Item {number}-{i + 1:02d}: réf. Ω-{i * 7 % 97:02d}", 1 + i % 5, 250 + 37 * i) for i in range(LINES)]


def money(cents: int) -> str:
    return f"{cents // 100:,}.{cents % 100:02d} €"


def column(doc: pagelith.PDFSvrDoc, page: int, font: int, x: float, y: float, width: float, align: int,
           rows: list[str]) -> None:
    """One column of the table as a text block, each row on its own line."""
    doc.CreateText()
    doc.TextFont = font
    doc.TextSize = 10
    doc.TextMaxWidth = width
    doc.TextAlign = align
    doc.WriteText("\n".join(rows))
    doc.Locate(page, doc.ApplyResource(page, doc.CurrentText), x, y)


def build_invoice(number: int) -> bytes:
    """The PDF of invoice `number`, as bytes."""
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.UnicodeText = True
    doc.SubsetFonts = True
    sans, bold = doc.LoadFont(FONT, 0), doc.LoadFont(BOLD, 0)
    doc.AddPage(0)
    doc.AddPage(0)
    doc.Title = f"Invoice {number}"
    logo = doc.AddImageFile(LOGO)
    doc.Locate(1, doc.ApplyResource(1, logo), 50, 800)

    doc.CreateText()
    doc.TextFont = bold
    doc.TextSize = 18
    doc.WriteText(f"Invoice No. {number}")
    doc.TextFont = doc.LinkFont = sans
    doc.TextSize = 10
    doc.WriteText("Pagelith Example Ltd · 1 Rue de l'Exemple · Zürich")
    doc.WriteLink("Pay online", f"https://example.com/pay/{number}")
    doc.Locate(1, doc.ApplyResource(1, doc.CurrentText), 300, 800)

    items = line_items(number)
    pages = [(1, items[:ROWS_ON_FIRST_PAGE], 700), (2, items[ROWS_ON_FIRST_PAGE:], 800)]
    for page, rows, top in pages:
        graphic = doc.CreateGraphic()
        doc.LineColor = 0x808080
        doc.DrawLine(50, top + 3, 545, top + 3)
        doc.ApplyResource(page, graphic)
        column(doc, page, sans, 50, top, 300, 0, [d for d, _, _ in rows])
        column(doc, page, sans, 350, top, 50, 2, [str(q) for _, q, _ in rows])
        column(doc, page, sans, 400, top, 70, 2, [money(p) for _, _, p in rows])
        column(doc, page, sans, 470, top, 75, 2, [money(q * p) for _, q, p in rows])
    total = sum(q * p for _, q, p in items)
    column(doc, 2, bold, 350, 800 - 12 * (LINES - ROWS_ON_FIRST_PAGE) - 20, 195, 2, [f"Total {money(total)}"])
    return doc.StreamData()


def main() -> None:
    output = sys.argv[1] if len(sys.argv) > 1 else "invoice.pdf"
    with open(output, "wb") as f:
        f.write(build_invoice(1))
    print(output)


if __name__ == "__main__":
    main()
