#!/usr/bin/python3
"""Writes src/fonts/standard_widths.cpp: the advance width of each byte code of the 14 standard fonts.

Reads the URW base35 AFM files of Debian's fonts-urw-base35, whose metrics match the Core 14 fonts.
Fonts 1..12 are measured as /WinAnsiEncoding text (byte -> Windows-1252 character -> glyph name);
Symbol and ZapfDingbats through their own built-in encodings (the AFM's codes). Stdlib only.

    gen-standard-widths.py [OUTPUT]
"""

import gzip
import pathlib
import re
import sys
import unicodedata

AFM_DIR = pathlib.Path("/usr/share/fonts/type1/urw-base35")
DOC_DIR = pathlib.Path("/usr/share/doc/fonts-urw-base35")
PACKAGE = "fonts-urw-base35"
ROOT = pathlib.Path(__file__).resolve().parents[2]

# Standard font number (1..14) -> name and URW file, in the order of src/fonts/standard_fonts.h.
FONTS = [
    ("Courier", "NimbusMonoPS-Regular"),
    ("Courier-Bold", "NimbusMonoPS-Bold"),
    ("Courier-BoldOblique", "NimbusMonoPS-BoldItalic"),
    ("Courier-Oblique", "NimbusMonoPS-Italic"),
    ("Helvetica", "NimbusSans-Regular"),
    ("Helvetica-Bold", "NimbusSans-Bold"),
    ("Helvetica-BoldOblique", "NimbusSans-BoldItalic"),
    ("Helvetica-Oblique", "NimbusSans-Italic"),
    ("Times-Roman", "NimbusRoman-Regular"),
    ("Times-Bold", "NimbusRoman-Bold"),
    ("Times-Italic", "NimbusRoman-Italic"),
    ("Times-BoldItalic", "NimbusRoman-BoldItalic"),
    ("Symbol", "StandardSymbolsPS"),
    ("ZapfDingbats", "D050000L"),
]
SYMBOLIC = {"Symbol", "ZapfDingbats"}

# Glyph names of the Windows-1252 characters that are not an ASCII letter (those are named by themselves).
GLYPH_NAMES = {
    " ": "space", "!": "exclam", '"': "quotedbl", "#": "numbersign", "$": "dollar", "%": "percent",
    "&": "ampersand", "'": "quotesingle", "(": "parenleft", ")": "parenright", "*": "asterisk",
    "+": "plus", ",": "comma", "-": "hyphen", ".": "period", "/": "slash", "0": "zero", "1": "one",
    "2": "two", "3": "three", "4": "four", "5": "five", "6": "six", "7": "seven", "8": "eight",
    "9": "nine", ":": "colon", ";": "semicolon", "<": "less", "=": "equal", ">": "greater",
    "?": "question", "@": "at", "[": "bracketleft", "\\": "backslash", "]": "bracketright",
    "^": "asciicircum", "_": "underscore", "`": "grave", "{": "braceleft", "|": "bar",
    "}": "braceright", "~": "asciitilde",
    "\u20ac": "Euro", "\u201a": "quotesinglbase", "\u0192": "florin", "\u201e": "quotedblbase",
    "\u2026": "ellipsis", "\u2020": "dagger", "\u2021": "daggerdbl", "\u02c6": "circumflex",
    "\u2030": "perthousand", "\u0160": "Scaron", "\u2039": "guilsinglleft", "\u0152": "OE",
    "\u017d": "Zcaron", "\u2018": "quoteleft", "\u2019": "quoteright", "\u201c": "quotedblleft",
    "\u201d": "quotedblright", "\u2022": "bullet", "\u2013": "endash", "\u2014": "emdash",
    "\u02dc": "tilde", "\u2122": "trademark", "\u0161": "scaron", "\u203a": "guilsinglright",
    "\u0153": "oe", "\u017e": "zcaron", "\u0178": "Ydieresis",
    # PDF's WinAnsiEncoding draws the no-break space and the soft hyphen as the plain glyphs.
    "\u00a0": "space", "\u00ad": "hyphen",
    "\u00a1": "exclamdown", "\u00a2": "cent", "\u00a3": "sterling", "\u00a4": "currency", "\u00a5": "yen",
    "\u00a6": "brokenbar", "\u00a7": "section", "\u00a8": "dieresis", "\u00a9": "copyright",
    "\u00aa": "ordfeminine", "\u00ab": "guillemotleft", "\u00ac": "logicalnot", "\u00ae": "registered",
    "\u00af": "macron", "\u00b0": "degree", "\u00b1": "plusminus", "\u00b2": "twosuperior",
    "\u00b3": "threesuperior", "\u00b4": "acute", "\u00b5": "mu", "\u00b6": "paragraph",
    "\u00b7": "periodcentered", "\u00b8": "cedilla", "\u00b9": "onesuperior", "\u00ba": "ordmasculine",
    "\u00bb": "guillemotright", "\u00bc": "onequarter", "\u00bd": "onehalf", "\u00be": "threequarters",
    "\u00bf": "questiondown", "\u00c6": "AE", "\u00d0": "Eth", "\u00d7": "multiply", "\u00d8": "Oslash",
    "\u00de": "Thorn", "\u00df": "germandbls", "\u00e6": "ae", "\u00f0": "eth", "\u00f7": "divide",
    "\u00f8": "oslash", "\u00fe": "thorn",
}
# The accented letters of 0xC0..0xFF are named base letter + mark.
MARKS = {"\u0300": "grave", "\u0301": "acute", "\u0302": "circumflex", "\u0303": "tilde",
         "\u0308": "dieresis", "\u030a": "ring", "\u0327": "cedilla"}


def glyph_name(char):
    if char in GLYPH_NAMES:
        return GLYPH_NAMES[char]
    if char.isascii() and char.isalpha():
        return char
    parts = unicodedata.decomposition(char).split()
    if len(parts) == 2:
        base, mark = (chr(int(p, 16)) for p in parts)
        if base.isascii() and base.isalpha() and mark in MARKS:
            return base + MARKS[mark]
    sys.exit(f"gen-standard-widths: no glyph name for U+{ord(char):04X}")


def win_ansi_glyph(code):
    """The glyph PDF viewers draw for a WinAnsiEncoding byte; None for the control codes."""
    if code < 0x20:
        return None
    try:
        char = bytes([code]).decode("cp1252")
    except UnicodeDecodeError:
        char = None
    # Unused codes (DEL and the five holes of 0x80..0x9F) are drawn as a bullet.
    if char is None or code == 0x7F:
        return "bullet"
    return glyph_name(char)


METRIC = re.compile(r"^C (-?\d+) ; WX (\S+) ; N (\S+) ;")


def read_afm(path):
    """(width by glyph name, width by code) from the AFM's character metrics."""
    by_name, by_code = {}, {}
    for line in path.read_text(encoding="latin-1").splitlines():
        m = METRIC.match(line)
        if not m:
            continue
        code, name = int(m[1]), m[3]
        if not re.fullmatch(r"\d+", m[2]):
            sys.exit(f"gen-standard-widths: {path.name}: width {m[2]} of {name} is not a whole number")
        width = int(m[2])
        if by_name.get(name, width) != width:
            sys.exit(f"gen-standard-widths: {path.name}: {name} has two widths")
        by_name[name] = width
        if code >= 0:
            by_code[code] = width
    if not by_name:
        sys.exit(f"gen-standard-widths: {path.name}: no character metrics")
    return by_name, by_code


def font_widths(name, afm):
    path = AFM_DIR / f"{afm}.afm"
    by_name, by_code = read_afm(path)
    if name in SYMBOLIC:
        widths = [by_code.get(code, 0) for code in range(256)]
        # The URW file codes the Apple logo 0x80; the font's standard built-in encoding has it at 0xF0.
        if name == "Symbol" and by_code.get(0x80) == by_name.get("apple"):
            widths[0x80], widths[0xF0] = 0, by_name["apple"]
        return widths
    widths = []
    for code in range(256):
        glyph = win_ansi_glyph(code)
        if glyph is None:
            widths.append(0)
        elif glyph in by_name:
            widths.append(by_name[glyph])
        else:
            sys.exit(f"gen-standard-widths: {path.name}: no glyph {glyph} for code 0x{code:02X}")
    return widths


def package_version():
    with gzip.open(DOC_DIR / "changelog.Debian.gz", "rt", encoding="utf-8") as f:
        m = re.match(rf"{re.escape(PACKAGE)} \(([^)]+)\)", f.readline())
    if not m:
        sys.exit("gen-standard-widths: cannot read the package version from its changelog")
    return m[1]


def font_licence():
    """The License: line of the copyright stanza covering the fonts (Files: *)."""
    text = (DOC_DIR / "copyright").read_text(encoding="utf-8")
    m = re.search(r"^Files: \*\n(?:.+\n)*?License: (.+)$", text, re.MULTILINE)
    if not m:
        sys.exit("gen-standard-widths: cannot read the fonts' licence")
    return m[1]


def main(argv):
    output = pathlib.Path(argv[1]) if len(argv) > 1 else ROOT / "src/fonts/standard_widths.cpp"
    out = [
        "// Generated by cmake/scripts/gen-standard-widths.py; do not edit.",
        "//",
        f"// From the AFM files of Debian's {PACKAGE} {package_version()} (URW base35 fonts, licence:",
        f"// {font_licence()}; see /usr/share/doc/{PACKAGE}/copyright). The URW fonts are",
        "// metric-compatible with the Core 14 fonts. Advance widths only: no kerning pairs.",
        "// Fonts 1..12 are measured as /WinAnsiEncoding text, unused codes as the bullet they are drawn",
        "// as; Symbol and ZapfDingbats by their built-in encodings.",
        "",
        '#include "fonts/standard_widths.h"',
        "",
        '#include "fonts/standard_fonts.h"',
        "",
        "namespace pagelith {",
        "namespace {",
        "",
        "using TWidths = std::array<uint16_t, 256>;",
        "",
        "// clang-format off",
        "constexpr std::array<TWidths, kStandardFontCount> kWidths = {{",
    ]
    for number, (name, afm) in enumerate(FONTS, 1):
        widths = font_widths(name, afm)
        out.append(f"    // {number} {name} ({afm}.afm)")
        out.append("    {{")
        for row in range(0, 256, 16):
            out.append("        " + "".join(f"{w:4d}," for w in widths[row:row + 16]))
        out.append("    }},")
    out += [
        "}};",
        "// clang-format on",
        "",
        "} // namespace",
        "",
        "const std::array<uint16_t, 256>* StandardFontWidths(int32_t number) {",
        "    if (number < 1 || number > kStandardFontCount) return nullptr;",
        "    return &kWidths[static_cast<std::size_t>(number - 1)];",
        "}",
        "",
        "} // namespace pagelith",
        "",
    ]
    output.write_text("\n".join(out), encoding="utf-8")


if __name__ == "__main__":
    main(sys.argv)
