"""Checks a TrueType subset against its original with fontTools.

    check_subset.py glyphs FONT CODEPOINT...          prints the glyph ID of each code point
    check_subset.py check ORIGINAL SUBSET CODEPOINT... exits 1 with a list of faults
"""
import io
import struct
import sys

from fontTools.ttLib import TTFont
from PIL import Image, ImageDraw, ImageFont

KEPT_TABLES = {"glyf", "loca", "head", "hhea", "hmtx", "maxp", "cmap", "post", "name",
               "OS/2", "cvt ", "fpgm", "prep", "gasp"}


def glyph_ids(path, codes):
    font = TTFont(path)
    cmap = font.getBestCmap()
    for code in codes:
        print(font.getGlyphID(cmap[code]) if code in cmap else 0)


def closure(font, ids):
    glyf = font["glyf"]
    order = font.getGlyphOrder()
    kept, todo = set(), [0, *ids]
    while todo:
        gid = todo.pop()
        if gid in kept:
            continue
        kept.add(gid)
        glyph = glyf[order[gid]]
        if glyph.isComposite():
            todo.extend(font.getGlyphID(c.glyphName) for c in glyph.components)
    return kept


def raw_outlines(path):
    """Each glyph's glyf bytes, read through loca without fontTools' own parsing."""
    data = open(path, "rb").read()
    count = struct.unpack(">H", data[4:6])[0]
    tables = {}
    for i in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tables[tag.decode("latin-1")] = data[offset:offset + length]
    long_loca = struct.unpack(">h", tables["head"][50:52])[0] == 1
    loca = tables["loca"]
    if long_loca:
        offsets = struct.unpack(">%dI" % (len(loca) // 4), loca)
    else:
        offsets = [2 * o for o in struct.unpack(">%dH" % (len(loca) // 2), loca)]
    glyf = tables["glyf"]
    return [glyf[offsets[i]:offsets[i + 1]] for i in range(len(offsets) - 1)], data, tables


def render(path, code):
    """A hinted FreeType rendering of one character; each alone, as kerning tables are not kept."""
    font = ImageFont.truetype(path, 37)
    image = Image.new("L", (80, 80))
    ImageDraw.Draw(image).text((10, 10), chr(code), font=font, fill=255)
    return image.tobytes()


def check_file_structure(data, faults):
    count, search_range, entry_selector, range_shift = struct.unpack(">HHHH", data[4:12])
    power = 1
    while power * 2 <= count:
        power *= 2
    if (search_range, entry_selector, range_shift) != (16 * power, power.bit_length() - 1, 16 * count - 16 * power):
        faults.append("table directory search fields")
    tags = []
    for i in range(count):
        tag, checksum, offset, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        tags.append(tag)
        if offset % 4:
            faults.append("%s not aligned" % tag)
        table = bytearray(data[offset:offset + (length + 3) // 4 * 4])
        if tag == b"head":
            table[8:12] = b"\0\0\0\0"
        table += b"\0" * (-len(table) % 4)
        if sum(struct.unpack(">%dI" % (len(table) // 4), table)) & 0xFFFFFFFF != checksum:
            faults.append("checksum of %s" % tag)
    if tags != sorted(tags):
        faults.append("directory not sorted")
    padded = data + b"\0" * (-len(data) % 4)
    if sum(struct.unpack(">%dI" % (len(padded) // 4), padded)) & 0xFFFFFFFF != 0xB1B0AFBA:
        faults.append("head checksumAdjustment")


def check(original_path, subset_path, codes):
    faults = []
    original = TTFont(original_path)
    old_cmap = original.getBestCmap()
    ids = [original.getGlyphID(old_cmap[code]) for code in codes if code in old_cmap]
    subset = TTFont(subset_path, checkChecksums=2)
    for tag in subset.keys():
        subset[tag]  # decompiles every table
    subset.save(io.BytesIO())  # and compiles them again
    if set(subset.reader.keys()) - KEPT_TABLES:
        faults.append("unexpected tables %s" % sorted(set(subset.reader.keys()) - KEPT_TABLES))

    kept = closure(original, [i for i in ids if i < original["maxp"].numGlyphs])
    count = subset["maxp"].numGlyphs
    if count != max(kept) + 1:
        faults.append("numGlyphs %d, expected %d" % (count, max(kept) + 1))
    if subset["post"].formatType != 3.0:
        faults.append("post format %s" % subset["post"].formatType)

    raw_original, _, _ = raw_outlines(original_path)
    raw_subset, data, _ = raw_outlines(subset_path)
    check_file_structure(data, faults)
    old_order, new_order = original.getGlyphOrder(), subset.getGlyphOrder()
    old_glyf, new_glyf = original["glyf"], subset["glyf"]
    for gid in range(count):
        new = new_glyf[new_order[gid]]
        if gid not in kept:
            if new.numberOfContours != 0 or raw_subset[gid]:
                faults.append("glyph %d should be empty" % gid)
            continue
        old = old_glyf[old_order[gid]]
        old_bytes, new_bytes = raw_original[gid], raw_subset[gid]
        if new_bytes[:len(old_bytes)] != old_bytes or new_bytes[len(old_bytes):].strip(b"\0"):
            faults.append("glyph %d bytes differ" % gid)
        if old.isComposite() != new.isComposite():
            faults.append("glyph %d composite flag" % gid)
        elif old.isComposite():
            if [original.getGlyphID(c.glyphName) for c in old.components] != \
               [subset.getGlyphID(c.glyphName) for c in new.components]:
                faults.append("glyph %d components" % gid)
        old_outline, new_outline = old.getCoordinates(old_glyf), new.getCoordinates(new_glyf)
        if list(old_outline[0]) != list(new_outline[0]) or list(old_outline[1]) != list(new_outline[1]):
            faults.append("glyph %d outline" % gid)
        if original["hmtx"][old_order[gid]] != subset["hmtx"][new_order[gid]]:
            faults.append("glyph %d metrics" % gid)

    new_cmap = subset.getBestCmap()
    expected = {code: original.getGlyphID(old_cmap[code]) for code in codes if code in old_cmap}
    actual = {code: subset.getGlyphID(name) for code, name in new_cmap.items()}
    if expected != actual:
        faults.append("cmap: expected %d code points, got %d; differing %s" % (
            len(expected), len(actual), sorted(set(expected.items()) ^ set(actual.items()))[:10]))
    formats = {(t.platformID, t.platEncID): t.format for t in subset["cmap"].tables}
    if formats.get((3, 1)) != 4:
        faults.append("no (3,1) format 4 subtable: %s" % formats)
    if any(code > 0xFFFF for code in expected) != (formats.get((3, 10)) == 12):
        faults.append("(3,10) format 12 subtable: %s" % formats)

    def names(font):
        return sorted((n.platformID, n.platEncID, n.langID, n.nameID, n.string)
                      for n in font["name"].names if n.nameID <= 6)
    if names(original) != names(subset):
        faults.append("name records differ")
    for code in sorted(expected):
        if render(original_path, code) != render(subset_path, code):
            faults.append("U+%04X renders differently" % code)

    for fault in faults:
        print(fault)
    print("%d glyphs kept of %d, %d code points" % (len(kept), original["maxp"].numGlyphs, len(actual)))
    return 1 if faults else 0


if __name__ == "__main__":
    if sys.argv[1] == "glyphs":
        glyph_ids(sys.argv[2], [int(c, 0) for c in sys.argv[3:]])
    else:
        sys.exit(check(sys.argv[2], sys.argv[3], [int(c, 0) for c in sys.argv[4:]]))
