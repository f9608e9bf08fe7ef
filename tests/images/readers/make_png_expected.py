#!/usr/bin/python3
"""Writes png_expected.txt: what every PngSuite picture must decode to in the working bitmap.

Usage: make_png_expected.py [PNGSUITE_DIR]  (default: ../shared/corpus/pngsuite beside the repo)

Pixels come from Pillow, brought to the working bitmap's rules: 1-bit gray stays 1-bit (black,
white); 2- and 4-bit gray become 4-bit indices into 16 grays (2-bit v as 5 × v); 8- and 16-bit
gray, and gray + alpha, become 8-bit indices into 256 grays (high byte); palette pictures keep their
indices and the PLTE colours (padded with black to 2, 16 or 256 entries); colour pictures become
RGB (high bytes); alpha is dropped from the pixels. The mask (a full alpha channel, 16-bit gray
with tRNS, or RGB with tRNS) is computed from the file's own 16-bit samples by the small decoder below, whose
colour output is checked against Pillow's.

Each line: file format width height crc(palette) crc(pixels) crc(mask), CRC-32 in hex of the
unpadded dumps: palette R,G,B per entry; pixels one index per pixel, or R,G,B per pixel; mask
one byte per pixel, '-' when there is none.
"""
import glob
import os
import struct
import sys
import zlib

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT = os.path.join(HERE, "..", "..", "..", "..", "shared", "corpus", "pngsuite")

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def chunks(data):
    pos = 8
    while pos < len(data):
        length, = struct.unpack(">I", data[pos:pos + 4])
        yield data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length


def raw_samples(data):
    """Sample values (h, w, channels) of a PNG, unfiltered and de-interlaced, full depth."""
    idat = b""
    for ctype, body in chunks(data):
        if ctype == b"IHDR":
            w, h, depth, ctype_, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif ctype == b"IDAT":
            idat += body
    raw = zlib.decompress(idat)
    ch = CHANNELS[ctype_]
    bpp = max(1, ch * depth // 8)
    out = np.zeros((h, w, ch), dtype=np.uint32)
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    pos = 0
    for x0, y0, dx, dy in passes:
        pw, ph = max(0, (w - x0 + dx - 1) // dx), max(0, (h - y0 + dy - 1) // dy)
        if pw == 0 or ph == 0:
            continue
        rb = (pw * ch * depth + 7) // 8
        prev = bytearray(rb)
        for i in range(ph):
            f, row = raw[pos], bytearray(raw[pos + 1:pos + 1 + rb])
            pos += 1 + rb
            for k in range(rb):
                a = row[k - bpp] if k >= bpp else 0
                b, c = prev[k], (prev[k - bpp] if k >= bpp else 0)
                if f == 1:
                    row[k] = (row[k] + a) & 255
                elif f == 2:
                    row[k] = (row[k] + b) & 255
                elif f == 3:
                    row[k] = (row[k] + (a + b) // 2) & 255
                elif f == 4:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    row[k] = (row[k] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
            prev = row
            if depth == 16:
                vals = np.frombuffer(bytes(row), dtype=">u2")
            elif depth == 8:
                vals = np.frombuffer(bytes(row), dtype=np.uint8)
            else:
                bits = np.unpackbits(np.frombuffer(bytes(row), dtype=np.uint8))
                vals = bits.reshape(-1, depth) @ (1 << np.arange(depth - 1, -1, -1))
            vals = np.asarray(vals[:pw * ch], dtype=np.uint32).reshape(pw, ch)
            out[y0 + i * dy, x0::dx][:pw] = vals
    return out, depth, ctype_


def expected(path):
    data = open(path, "rb").read()
    samples, depth, ctype = raw_samples(data)
    h, w = samples.shape[:2]
    im = Image.open(path)
    im.load()
    trns = None
    plte = b""
    for t, body in chunks(data):
        if t == b"tRNS":
            trns = body
        elif t == b"PLTE":
            plte = body

    palette = None
    mask = None
    if ctype == 3:
        bits = 1 if depth == 1 else 4 if depth in (2, 4) else 8
        n = 1 << bits
        fmt = "I%d" % bits
        assert im.mode == "P"
        pixels = np.array(im, dtype=np.uint8)
        pal = list(im.getpalette()[:len(plte)])[:3 * n]
        palette = bytes(pal) + bytes(3 * n - len(pal))
    elif ctype in (0, 4):
        if depth == 1:
            fmt, n = "I1", 2
            pixels = (np.array(im.convert("L")) > 0).astype(np.uint8)
            palette = bytes([0, 0, 0, 255, 255, 255])
        elif depth in (2, 4):
            fmt = "I4"
            levels = np.array(im, dtype=np.uint32)
            pixels = (levels // 17).astype(np.uint8)   # 2-bit: 85 v / 17 = 5 v
            palette = b"".join(bytes([17 * j] * 3) for j in range(16))
        else:
            fmt = "I8"
            if im.mode == "I":
                pixels = (np.array(im, dtype=np.uint32) >> 8).astype(np.uint8)
            else:
                pixels = np.array(im.convert("RGBA") if im.mode == "LA" else im, dtype=np.uint8)
                if pixels.ndim == 3:
                    pixels = pixels[:, :, 0]
            palette = b"".join(bytes([i] * 3) for i in range(256))
        gray = samples[:, :, 0] >> (8 if depth == 16 else 0)
        assert depth < 8 or (gray == pixels).all(), path
    else:
        fmt = "RGB"
        pixels = np.array(im.convert("RGBA"), dtype=np.uint8)[:, :, :3]
        high = samples[:, :, :3] >> (8 if depth == 16 else 0)
        assert (high == pixels).all(), path

    if ctype in (4, 6):
        mask = samples[:, :, -1] >> (8 if depth == 16 else 0)
        assert (mask == np.array(im.convert("RGBA"))[:, :, 3]).all(), path
    elif depth == 16 and trns is not None and ctype == 0 and len(trns) == 2:
        mask = np.where(samples[:, :, 0] == struct.unpack(">H", trns)[0], 0, 255)
    elif depth >= 8 and trns is not None and ctype == 2 and len(trns) == 6:
        key = np.array(struct.unpack(">HHH", trns), dtype=np.uint32)
        mask = np.where((samples == key).all(axis=2), 0, 255)

    crc = lambda b: "%08x" % (zlib.crc32(b) & 0xFFFFFFFF)
    return "%s %d %d %s %s %s" % (
        fmt, w, h, crc(palette) if palette is not None else "-",
        crc(np.ascontiguousarray(pixels, dtype=np.uint8).tobytes()),
        crc(np.asarray(mask, dtype=np.uint8).tobytes()) if mask is not None else "-")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT)
    files = sorted(glob.glob(os.path.join(root, "*.png")) + glob.glob(os.path.join(root, "*", "*.png")))
    lines = ["%s %s" % (os.path.relpath(f, root), expected(f)) for f in files]
    with open(os.path.join(HERE, "png_expected.txt"), "w") as out:
        out.write("\n".join(lines) + "\n")
    print("wrote %d pictures" % len(lines))


if __name__ == "__main__":
    main()
