#!/usr/bin/python3
"""Writes picture files of at most 1 KB that declare the largest picture their format allows.

Each comes twice: NAME.max declares a picture the size of the working-memory bound (or the
format's own limit), NAME.under one just within the default pixel limit (13377 x 13377).
Usage: make_bombs.py [DIR]   (default: a new temporary directory, printed)
"""

import io, pathlib, struct, sys, tempfile, zlib

UNDER = 13377  # 13377 * 13377 = 178,944,129 pixels, within the default limit of 178,956,970
BUDGET = 1024
SPARE = BUDGET - 200  # room for TIFF strip data beside the header and IFD


def pack(bits, lsb=False):  # bits in stream order into bytes filled from the high bit, or the low for lsb
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i : i + 8][:: -1 if lsb else 1], 2) for i in range(0, len(bits), 8))


def lzw(first_width, clear, early, budget_bits, lsb):  # zeros, each code a byte longer than the last
    codes, width, nxt, used = [(clear, first_width), (0, first_width)], first_width, clear + 2, 2 * first_width
    while nxt < 4000 and used + width + 12 <= budget_bits:
        codes.append((nxt, width))
        used, nxt = used + width, nxt + 1
        width += nxt == (1 << width) - early and width < 12
    return pack("".join(format(c, "0%db" % w)[:: -1 if lsb else 1] for c, w in codes + [(clear + 1, width)]), lsb)


def gif(sw, sh, fw, fh, data):
    out = b"GIF89a" + struct.pack("<HHBBB", sw, sh, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, fw, fh, 0) + b"\x02"
    blocks = b"".join(bytes([len(data[i : i + 255])]) + data[i : i + 255] for i in range(0, len(data), 255))
    return out + blocks + b"\0;"


def tiff(w, h, strips, compression=1, bps=1, photometric=0, extra=()):  # II, strips, their tables, IFD
    n, data = len(strips), b"".join(strips)
    offsets = [8 + sum(map(len, strips[:i])) for i in range(n)]
    tables = b"" if n == 1 else struct.pack("<%dI" % (2 * n), *offsets, *map(len, strips))
    at = 8 + len(data)
    tags = sorted([(256, 4, 1, w), (257, 4, 1, h), (258, 3, 1, bps), (259, 3, 1, compression),
                   (262, 3, 1, photometric), (273, 4, n, offsets[0] if n == 1 else at),
                   (278, 4, 1, -(-h // n)), (279, 4, n, len(strips[0]) if n == 1 else at + 4 * n), *extra])
    out = b"II*\0" + struct.pack("<I", at + len(tables)) + data + tables + struct.pack("<H", len(tags))
    out += b"".join(struct.pack("<HHI", t, k, c) + struct.pack("<H2x" if k == 3 else "<I", v) for t, k, c, v in tags)
    return out + b"\0\0\0\0"


def bmp(w, h, depth, compression, body):
    palette = bytes(8 if depth <= 8 else 0)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, depth, compression, len(body), 2835, 2835, len(palette) // 4, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(palette) + len(body), 0, 0, 54 + len(palette)) + info + palette + body


def png(w, h):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    ihdr = struct.pack(">IIBBBBB", w, h, 16, 6, 0, 0, 0)
    idat = zlib.compress(bytes(1 << 22), 9)[: BUDGET - 100]
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def jpeg(w, h):
    from PIL import Image  # only here, so that the other files need nothing beyond Python
    buf = io.BytesIO()
    Image.new("L", (16, 16), 128).save(buf, "JPEG", quality=20, optimize=True)
    sof = buf.getvalue().index(b"\xff\xc0") + 5
    return buf.getvalue()[:sof] + struct.pack(">HH", h, w) + buf.getvalue()[sof + 4 :]


def multibyte(v):  # 7 bits a byte, the high bit set on all but the last
    return bytes(0x80 * (i > 0) | v >> 7 * i & 0x7F for i in reversed(range(max(1, -(-v.bit_length() // 7)))))


RUNS = b"\xff\x01" * ((BUDGET - 70) // 2) + b"\x00\x01"  # 255 pixels from every two bytes
T4_2D = pack("00000000000101" * (SPARE * 4 // 14))  # EOL, tag bit 0 and a one-bit V0 copy the row above
G4 = [b"\xff" * (SPARE // 2)] * 2  # each bit a V0 that copies a row; two strips keep it from passing through


# name: (extension, maker of a w x h file, the largest side that fits the bounds, or (w, h) of max and under)
BOMBS = {
    "wbmp": ("wbmp", lambda w, h: b"\0\0" + multibyte(w) + multibyte(h), 92672),
    # Runs of 63 black bytes after the 128-byte header.
    "pcx_rle": ("pcx", lambda w, h: struct.pack("<4B6H48xBBHH58x", 10, 5, 1, 1, 0, 0, w - 1, h - 1, 72, 72, 0, 1,
                                                (w + 7) // 8, 1) + b"\xff\x00" * ((BUDGET - 128) // 2), 65535),
    "psd_raw": ("psd", lambda w, h: b"8BPS" + struct.pack(">H6xHIIHH12xH", 1, 1, h, w, 1, 0, 0), 30000),
    # The row table alone would need 2 bytes a row.
    "psd_rle": ("psd", lambda w, h: b"8BPS" + struct.pack(">H6xHIIHH12xH", 1, 1, h, w, 1, 0, 1) + b"\0\2" * 492, 30000),
    "gif_lzw": ("gif", lambda w, h: gif(w, h, w, h, lzw(3, 4, False, (BUDGET - 60) * 8, True)), 65535),
    "gif_screen": ("gif", lambda w, h: gif(w, h, 1, 1, b"\x44\x01"), 65535),  # 1 x 1: clear, 0, end
    "tif_raw": ("tif", lambda w, h: tiff(w, h, [b""]), 92672),
    "tif_lzw": ("tif", lambda w, h: tiff(w, h, [lzw(9, 256, True, SPARE * 8, False)], 5, 8, 1), 32768),
    "tif_packbits": ("tif", lambda w, h: tiff(w, h, [b"\x81\x00" * (SPARE // 2)], 32773, 8, 1), 32768),
    # An EOL, then white make-up codes of 2560 until the data ends.
    "tif_g3": ("tif", lambda w, h: tiff(w, h, [b"\x00\x10" + b"\x01\xf0\x1f" * (SPARE // 3)], 3), 92672),
    "tif_g3_2d": ("tif", lambda w, h: tiff(w, h, [T4_2D] * 2, 3, extra=[(292, 4, 1, 1)]), 92672),
    "tif_g4": ("tif", lambda w, h: tiff(w, h, G4, 4), 92672),
    "bmp_raw": ("bmp", lambda w, h: bmp(w, h, 24, 0, b""), 18918),
    "bmp_rle8": ("bmp", lambda w, h: bmp(w, h, 8, 1, RUNS), 32768),
    "bmp_rle4": ("bmp", lambda w, h: bmp(w, h, 4, 2, RUNS), 46336),
    "png": ("png", png, 18918),
    "jpeg": ("jpg", jpeg, 32768),
}
# Fax pictures as wide as the bound allows at the rows their bits can copy, which they can fill.
for name, rows in (("tif_g3_2d", SPARE * 4 // 14 * 2), ("tif_g4", SPARE * 8)):  # T.4 2-D rows take 14 bits
    sizes = ((1 << 30) // rows // 4 * 32 - 32, rows), (178956970 // rows, rows)
    BOMBS[name + "_wide"] = ("tif", BOMBS[name][1], sizes)


if __name__ == "__main__":
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(prefix="bombs"))
    out.mkdir(parents=True, exist_ok=True)
    for name, (ext, make, side) in BOMBS.items():
        for kind, (w, h) in zip(("max", "under"), ((side, side), (UNDER, UNDER)) if isinstance(side, int) else side):
            data = make(w, h)
            assert len(data) <= BUDGET, (name, len(data))
            (out / ("%s.%s.%s" % (name, kind, ext))).write_bytes(data)
    print(out)
