#!/usr/bin/env python3
"""Writes small real fonts into a folder as seeds for the LoadFont fuzz target: a CFF OpenType font,
a TrueType one, a symbol-encoded one and a collection of the first two, each cut down to a few glyphs
with fontTools so that the fuzzer mutates tables rather than outlines. The target reads its first
byte as the face index, so each seed starts with one.

    font_seeds.py FOLDER
"""
import io
import os
import sys

from fontTools import subset
from fontTools.ttLib import TTCollection, TTFont
from fontTools.ttLib.tables._c_m_a_p import cmap_format_4

SOURCES = {"cff.otf": "/usr/share/fonts/opentype/freefont/FreeSerif.otf",
           "truetype.ttf": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}


def small(path):
    options = subset.Options()
    options.name_IDs, options.notdef_outline = ["*"], True
    font = TTFont(path)
    cutter = subset.Subsetter(options)
    cutter.populate(text="Ab é€")
    cutter.subset(font)
    return font


def save(font, path, face=0):
    out = io.BytesIO()
    font.save(out)
    with open(path, "wb") as f:
        f.write(bytes([face]) + out.getvalue())


def main(folder):
    os.makedirs(folder, exist_ok=True)
    fonts = {name: small(path) for name, path in SOURCES.items() if os.path.exists(path)}
    for name, font in fonts.items():
        save(font, os.path.join(folder, "seed-" + name))
    if len(fonts) == 2:
        collection = TTCollection()
        collection.fonts = list(fonts.values())
        save(collection, os.path.join(folder, "seed-collection.ttc"), face=1)
    if "truetype.ttf" in fonts:
        symbol = fonts["truetype.ttf"]
        table = cmap_format_4(4)
        table.platformID, table.platEncID, table.language = 3, 0, 0
        table.cmap = {0xF000 + c: g for c, g in symbol.getBestCmap().items() if c <= 0xFF}
        symbol["cmap"].tables = [table]
        save(symbol, os.path.join(folder, "seed-symbol.ttf"))


if __name__ == "__main__":
    main(sys.argv[1])
