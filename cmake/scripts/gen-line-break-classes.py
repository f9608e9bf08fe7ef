#!/usr/bin/python3
"""Writes src/text/line_break_classes.cpp: the line break class of every code point.

Reads the Unicode Character Database of Debian's unicode-data: LineBreak.txt, and what the rules need
beside it, East Asian Width (LB30), Extended_Pictographic and the general category (LB1, LB30b).
The classes are resolved as LB1 does by default and stored in a two-stage table: code point / 128
picks a block, deduplicated blocks of 128 classes hold the rest. Stdlib only.

    gen-line-break-classes.py [OUTPUT]
"""

import collections
import gzip
import pathlib
import re
import sys

UCD = pathlib.Path("/usr/share/unicode")
DOC_DIR = pathlib.Path("/usr/share/doc/unicode-data")
PACKAGE = "unicode-data"
ROOT = pathlib.Path(__file__).resolve().parents[2]
BLOCK = 128
CODE_POINTS = 0x110000

# Every value of TLineBreakClass in src/text/line_break_classes.h; the table names them, so the
# compiler checks the two agree.
CLASSES = {
    "BK", "CR", "LF", "NL", "SP", "ZW", "ZWJ", "CM", "WJ", "GL", "BA", "HY", "BB", "B2", "CB", "CL",
    "CP", "CPW", "OP", "OPW", "EX", "IS", "SY", "QU", "NS", "IN", "NU", "PR", "PO", "AL", "HL", "ID",
    "EP", "EB", "EM", "JL", "JV", "JT", "H2", "H3", "RI",
}
DEFAULT = "AL"


def ranges(path):
    """(first, last, value) of each `range; value` line of a UCD file."""
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split("#", 1)[0].split(";")
        if len(fields) >= 2:
            first, _, last = fields[0].strip().partition("..")
            yield int(first, 16), int(last or first, 16), fields[1].strip()


def read_property(path, default):
    values = [default] * CODE_POINTS
    for first, last, value in ranges(path):
        values[first:last + 1] = [value] * (last - first + 1)
    return values


def read_binary_property(path, name):
    """Whether each code point has the property; the file lists several."""
    values = [False] * CODE_POINTS
    for first, last, value in ranges(path):
        if value == name:
            values[first:last + 1] = [True] * (last - first + 1)
    return values


def file_version(path):
    """The Unicode version a UCD file states on its first lines."""
    head = path.read_text(encoding="utf-8")[:1000]
    m = re.search(r"-(\d+\.\d+\.\d+)\.txt", head) or re.search(r"Emoji Version (\d+\.\d+)", head)
    if not m:
        sys.exit(f"gen-line-break-classes: {path.name} states no version")
    return m[1]


def resolve(line_break, east_asian, category, pictographic):
    """The class of each code point as the default rules read it."""
    classes = []
    for cp in range(CODE_POINTS):
        cls = line_break[cp]
        if cls in ("AI", "SG", "XX"):
            cls = "AL"
        elif cls == "SA":
            cls = "CM" if category[cp] in ("Mn", "Mc") else "AL"
        elif cls == "CJ":
            cls = "NS"
        if cls in ("OP", "CP") and east_asian[cp] in ("F", "W", "H"):
            cls += "W"
        if pictographic[cp] and category[cp] == "Cn":
            # Reserved emoji code points are ID; LB30b joins them to a following modifier.
            if cls != "ID":
                sys.exit(f"gen-line-break-classes: reserved pictographic U+{cp:04X} is {cls}, not ID")
            cls = "EP"
        if cls not in CLASSES:
            sys.exit(f"gen-line-break-classes: U+{cp:04X} has the unknown class {cls}")
        classes.append(cls)
    return classes


def package_version():
    with gzip.open(DOC_DIR / "changelog.Debian.gz", "rt", encoding="utf-8") as f:
        m = re.match(rf"{re.escape(PACKAGE)} \(([^)]+)\)", f.readline())
    if not m:
        sys.exit("gen-line-break-classes: cannot read the package version from its changelog")
    return m[1]


def main(argv):
    output = pathlib.Path(argv[1]) if len(argv) > 1 else ROOT / "src/text/line_break_classes.cpp"
    files = {
        "line_break": UCD / "LineBreak.txt",
        "east_asian": UCD / "EastAsianWidth.txt",
        "category": UCD / "extracted/DerivedGeneralCategory.txt",
        "pictographic": UCD / "emoji/emoji-data.txt",
    }
    version = file_version(files["line_break"])
    for path in files.values():
        if not version.startswith(file_version(path)):
            sys.exit(f"gen-line-break-classes: {path.name} is not of Unicode {version}")
    classes = resolve(read_property(files["line_break"], "XX"), read_property(files["east_asian"], "N"),
                      read_property(files["category"], "Cn"),
                      read_binary_property(files["pictographic"], "Extended_Pictographic"))

    # Past the last block holding another class everything is AL: no table needed there.
    end = CODE_POINTS
    while all(c == DEFAULT for c in classes[end - BLOCK:end]):
        end -= BLOCK
    blocks = [tuple(classes[i:i + BLOCK]) for i in range(0, end, BLOCK)]
    # The most used blocks get the smallest numbers, which keeps the first stage short.
    uses = collections.Counter(blocks)
    number = {block: n for n, (block, _) in enumerate(uses.most_common())}
    if len(number) > 256:
        sys.exit(f"gen-line-break-classes: {len(number)} distinct blocks do not fit a byte")
    first_use = {}
    for i, block in enumerate(blocks):
        first_use.setdefault(block, i * BLOCK)

    out = [
        "// Generated by cmake/scripts/gen-line-break-classes.py; do not edit.",
        "//",
        f"// From the Unicode {version} Character Database of Debian's {PACKAGE} {package_version()}"
        " (LineBreak.txt,",
        "// EastAsianWidth.txt, DerivedGeneralCategory.txt, emoji-data.txt; Unicode, Inc. licence, see",
        f"// /usr/share/doc/{PACKAGE}/copyright). Code point / {BLOCK} picks a block of classes; past",
        f"// U+{end:04X} every class is {DEFAULT}.",
        "",
        '#include "text/line_break_classes.h"',
        "",
        "#include <array>",
        "#include <cstdint>",
        "",
        "namespace pagelith {",
        "namespace {",
        "",
        "using enum TLineBreakClass;",
        "",
        f"constexpr char32_t kTableEnd = 0x{end:X};",
        "",
        "// clang-format off",
        f"constexpr std::array<uint8_t, {len(blocks)}> kBlockOf = {{",
    ]
    row = BLOCK * 32
    for start in range(0, end, row):
        if start % 0x10000 == 0:
            out.append(f"    // U+{start:04X}")
        out.append("    " + "".join(f"{number[b]}," for b in blocks[start // BLOCK:(start + row) // BLOCK]))
    out += ["};", "", f"constexpr std::array<TLineBreakClass, {len(number)} * {BLOCK}> kClasses = {{"]
    for block in number:
        out.append(f"    // {number[block]}, first at U+{first_use[block]:04X}")
        for i in range(0, BLOCK, 32):
            out.append("    " + ",".join(block[i:i + 32]) + ",")
    out += [
        "};",
        "// clang-format on",
        "",
        "} // namespace",
        "",
        "TLineBreakClass LineBreakClass(char32_t c) {",
        f"    if (c >= kTableEnd) return {DEFAULT};",
        f"    return kClasses[kBlockOf[c / {BLOCK}] * {BLOCK} + c % {BLOCK}];",
        "}",
        "",
        "} // namespace pagelith",
        "",
    ]
    output.write_text("\n".join(out), encoding="utf-8")


if __name__ == "__main__":
    main(sys.argv)
