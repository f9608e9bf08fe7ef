#!/usr/bin/python3
"""Makes the CCITT decoder fixtures: fax-coded strips written by libtiff (tiffcp) and by
Pillow, next to the picture they were made from.

Run with Debian's /usr/bin/python3 (python3-pil, python3-numpy) and tiffcp on PATH:
    tests/images/readers/make_ccitt_fixtures.py
Writes into ccitt_fixtures/ beside this script:
    picture.pbm      the source picture (P4: 1 = black)
    NAME.S.bin       strip S of case NAME, as stored in the TIFF file
    cases.txt        NAME CODING ROWS_PER_STRIP STRIPS FILL_ORDER WHITE_IS_ZERO
CODING is mh, t4 or t6; WHITE_IS_ZERO 1 means coded white runs are the picture's white.
"""
import os
import struct
import subprocess
import tempfile

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "ccitt_fixtures")
W, H = 333, 97  # a width that is no multiple of 8


def make_picture():
    """A scrap of a scanned page: text-like strokes, a ruled box, a solid block, speckle."""
    rs = np.random.RandomState(44)
    page = np.zeros((H, W), dtype=bool)  # True = black
    for line in range(4):
        y = 6 + line * 20
        x = 5
        while x < W - 20:
            for _ in range(int(rs.randint(2, 7))):
                gw = int(rs.randint(5, 12))
                for _ in range(int(rs.randint(1, 4))):
                    gx = x + int(rs.randint(0, gw - 2))
                    top = y + int(rs.randint(0, 6))
                    page[top:y + 13, gx:gx + 2] = True
                page[y + int(rs.randint(4, 11)), x:x + gw] = True
                x += gw + 1
            x += 7
    page[2:4, :] = True                     # a rule across the whole width
    page[60:90, 200:330] = False
    page[60:62, 200:330] = True
    page[88:90, 200:330] = True
    page[60:90, 200:202] = True
    page[60:90, 328:330] = True
    page[70:80, 250:320] = True             # a solid block
    page[:, W - 1] = True                   # black at the right edge
    ys, xs = rs.randint(0, H, 60), rs.randint(0, W, 60)
    page[ys, xs] = True
    return page


def write_min_is_white(path, black):
    """An uncompressed one-strip bilevel TIFF with 1 = black, as scanners write it."""
    data = np.packbits(black, axis=1).tobytes()
    tags = [(256, 4, W), (257, 4, H), (258, 3, 1), (259, 3, 1), (262, 3, 0), (273, 4, 0),
            (277, 3, 1), (278, 4, H), (279, 4, len(data))]
    strip = 8 + 2 + 12 * len(tags) + 4
    out = bytearray(b"II" + struct.pack("<HIH", 42, 8, len(tags)))
    for tag, kind, value in tags:
        value = strip if tag == 273 else value
        out += struct.pack("<HHIHH" if kind == 3 else "<HHII", tag, kind, 1, value, *([0] if kind == 3 else []))
    out += struct.pack("<I", 0) + data
    with open(path, "wb") as f:
        f.write(out)


def strips(path):
    with Image.open(path) as im:
        offsets, counts = im.tag_v2[273], im.tag_v2[279]
        photometric = im.tag_v2.get(262, 0)
    with open(path, "rb") as f:
        data = f.read()
    return [data[o:o + c] for o, c in zip(offsets, counts)], photometric


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        os.remove(os.path.join(OUT, name))
    black = make_picture()
    with open(os.path.join(OUT, "picture.pbm"), "wb") as f:
        f.write(b"P4\n%d %d\n" % (W, H) + np.packbits(black, axis=1).tobytes())

    cases = []
    with tempfile.TemporaryDirectory() as tmp:
        plain = os.path.join(tmp, "plain.tif")
        write_min_is_white(plain, black)
        tiffcp = [
            ("t6_tiffcp", "t6", ["-c", "g4"], H, 1),
            ("t6_tiffcp_strips", "t6", ["-c", "g4"], 25, 1),
            ("t6_tiffcp_lsb", "t6", ["-c", "g4", "-f", "lsb2msb"], H, 2),
            ("t4_tiffcp", "t4", ["-c", "g3:1d"], H, 1),
            ("t4_tiffcp_fill", "t4", ["-c", "g3:1d:fill"], 40, 1),
            ("t4_tiffcp_lsb", "t4", ["-c", "g3:1d", "-f", "lsb2msb"], H, 2),
        ]
        for name, coding, args, rows, fill in tiffcp:
            out = os.path.join(tmp, name + ".tif")
            subprocess.run(["tiffcp"] + args + ["-r", str(rows), plain, out], check=True)
            cases.append((name, coding, rows, fill, out))
        pillow = [("t6_pillow", "t6", "group4"), ("t4_pillow", "t4", "group3"),
                  ("mh_pillow", "mh", "tiff_ccitt")]
        for name, coding, compression in pillow:
            out = os.path.join(tmp, name + ".tif")
            Image.fromarray(~black).save(out, compression=compression)  # min-is-black
            cases.append((name, coding, H, 1, out))

        lines = []
        for name, coding, rows, fill, path in cases:
            parts, photometric = strips(path)
            for i, part in enumerate(parts):
                with open(os.path.join(OUT, "%s.%d.bin" % (name, i)), "wb") as f:
                    f.write(part)
            lines.append("%s %s %d %d %d %d" % (name, coding, min(rows, H), len(parts), fill,
                                                1 if photometric == 0 else 0))
    with open(os.path.join(OUT, "cases.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
