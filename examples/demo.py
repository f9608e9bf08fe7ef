#!/usr/bin/env python3
"""Builds a three-page document through the automation object and saves it: graphics, pictures (a PNG logo, a
JPEG photo and a Group 4 fax scan, the last two passed through unchanged), text in several scripts in a subset
TrueType font, and a link.

    PYTHONPATH=build/python python3 examples/demo.py [output.pdf]

Prints the path of the file written (default build/demo/pagelith-demo.pdf).
"""

import math
import os
import sys

import pagelith

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_OUTPUT = os.path.join(ROOT, "build", "demo", "pagelith-demo.pdf")
DATA = os.path.join(ROOT, "examples", "data")  # make-images.sh there says how the photo and the scan were made
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def rgb(red: int, green: int, blue: int) -> int:
    """An OLE colour: red in the low byte."""
    return red | green << 8 | blue << 16


def saved_name(path: str) -> str:
    """The name SaveToFile writes: ".pdf" is added unless the name already ends with it."""
    ext = os.path.splitext(path)[1]
    return path if ext.lower() == ".pdf" else path + ".pdf"


def add_text(doc: pagelith.PDFSvrDoc, page: int, x: float, y: float, lines: list[str], size: int = 12, color: int = 0,
             font: int = 5) -> bool:
    """Places a text block; returns False when this build's server cannot write text yet."""
    try:
        text = doc.CreateText()
        if not text:
            return False
        doc.TextFont = font
        doc.TextSize = size
        doc.TextColor = color
        for line in lines:
            doc.WriteText(line)
        index = doc.ApplyResource(page, text)
        doc.Locate(page, index, x, y)
        return True
    except pagelith.com_error as error:
        print("demo: text skipped (%s)" % (error.description or error.strerror), file=sys.stderr)
        return False


def draw_cover(doc: pagelith.PDFSvrDoc) -> None:
    """Page 1: colour swatches, a fan of lines, circles and turned ellipses."""
    graphic = doc.CreateGraphic()
    doc.LineWidth = 2

    # A row of filled swatches.
    swatches = [rgb(220, 40, 40), rgb(240, 160, 20), rgb(240, 220, 40), rgb(60, 170, 70), rgb(40, 110, 220),
                rgb(120, 60, 190)]
    for i, color in enumerate(swatches):
        doc.FillColor = color
        doc.LineColor = rgb(40, 40, 40)
        x = 60 + i * 80
        doc.Rectangle(x, 600, x + 60, 680)

    # A fan of lines from one corner, shading from blue to red.
    doc.LineWidth = 1
    for i in range(24):
        angle = math.radians(i * 90 / 23)
        doc.LineColor = rgb(int(255 * i / 23), 40, int(255 * (23 - i) / 23))
        doc.DrawLine(60, 120, 60 + 420 * math.cos(angle), 120 + 420 * math.sin(angle))

    # Circles and ellipses turned about their centres.
    doc.LineWidth = 3
    doc.LineColor = rgb(20, 20, 90)
    for i, color in enumerate([rgb(250, 200, 200), rgb(200, 250, 200), rgb(200, 200, 250)]):
        doc.FillColor = color
        doc.Circle(380 + i * 50, 300, 60 - i * 15)
    doc.LineWidth = 1
    doc.FillColor = rgb(255, 255, 255)
    for angle in range(0, 180, 30):
        doc.LineColor = rgb(180, 30, 120)
        doc.Ellipse(160, 360, 90, 30, angle)
    doc.ApplyResource(1, graphic)


def draw_second_page(doc: pagelith.PDFSvrDoc) -> None:
    """Page 2: the same kind of graphic drawn in inches, a chequerboard."""
    doc.Units = 1  # inches
    graphic = doc.CreateGraphic()
    doc.LineColor = rgb(0, 0, 0)
    for row in range(8):
        for column in range(8):
            doc.FillColor = rgb(30, 30, 30) if (row + column) % 2 else rgb(235, 235, 220)
            x, y = 1.25 + column * 0.75, 2 + row * 0.75
            doc.Rectangle(x, y, x + 0.75, y + 0.75)
    doc.ApplyResource(2, graphic)
    doc.Units = 0


def add_truetype_text(doc: pagelith.PDFSvrDoc, page: int, font: int) -> None:
    """A centred, wrapped paragraph in a TrueType font with an underlined link under the chequerboard."""
    doc.LinkFont = font
    text = doc.CreateText()
    doc.TextFont = font
    doc.TextSize = 11
    doc.TextMaxWidth = 400
    doc.TextAlign = 1
    doc.WriteText("This paragraph is set in DejaVu Sans, embedded in the file, wrapped at 400 points "
                  "and centred on the page. The next line is a link:")
    doc.WriteLink("Pagelith on the web", "https://example.com/pagelith")
    index = doc.ApplyResource(page, text)
    doc.Locate(page, index, 306, 120)


def place_image(doc: pagelith.PDFSvrDoc, page: int, name: str, x: float, y: float, width: float) -> None:
    """Places a picture from examples/data with its top-left corner at (x, y), scaled to `width` points."""
    image = doc.AddImageFile(os.path.join(DATA, name))
    index = doc.ApplyResource(page, image)
    doc.ScaleObject(page, index, 100 * width / doc.ImageWidth(image))
    doc.Locate(page, index, x, y)


def draw_pictures_and_scripts(doc: pagelith.PDFSvrDoc, page: int, font: int) -> None:
    """Page 3: a photo and a scan as their files have them, and lines in four scripts."""
    add_text(doc, page, 60, 790, ["Pictures and text in any script"], size=20, color=rgb(20, 20, 90), font=6)
    place_image(doc, page, "photo.jpg", 60, 740, 230)
    place_image(doc, page, "scan.tif", 320, 740, 230)
    add_text(doc, page, 60, 580, ["A JPEG photograph, passed through unchanged"], size=9)
    add_text(doc, page, 320, 580, ["A fax in CCITT Group 4, passed through unchanged"], size=9)
    add_text(doc, page, 60, 520, ["Latin: Zażółć gęślą jaźń · Příliš žluťoučký kůň",
                                  "Greek: Καλημέρα κόσμε",
                                  "Cyrillic: Съешь же ещё этих мягких французских булок",
                                  "Arabic, joined and right to left: مرحبا بالعالم"],
             size=14, font=font)


def build(doc: pagelith.PDFSvrDoc) -> None:
    doc.UnicodeText = True  # TrueType text keeps every character
    doc.SubsetFonts = True  # and embeds only the glyphs it uses
    for _ in range(3):
        doc.AddPage(0)
    doc.Title = "Pagelith demo"
    doc.Author = "Pagelith"
    doc.Subject = "Graphics, pictures and text drawn through the automation interface"
    doc.Keywords = "demo, graphics, pictures, text"
    draw_cover(doc)
    place_image(doc, 1, "logo.png", 470, 800, 64)
    draw_second_page(doc)
    add_text(doc, 1, 60, 760, ["Pagelith demo"], size=28, color=rgb(20, 20, 90), font=6)
    add_text(doc, 1, 60, 720, ["Rectangles, lines, circles and ellipses in colour,",
                               "drawn through the automation interface from Python."], size=12)
    add_text(doc, 2, 90, 780, ["A chequerboard drawn in inches"], size=18, font=9)
    font = doc.LoadFont(FONT, 0)
    add_truetype_text(doc, 2, font)
    draw_pictures_and_scripts(doc, 3, font)


def main(argv: list[str]) -> int:
    target = os.path.abspath(argv[1] if len(argv) > 1 else DEFAULT_OUTPUT)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    build(doc)
    doc.SaveToFile(target)
    print(saved_name(target))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
