#!/usr/bin/python3
"""Writes the JPEG and BMP test files and the pixels they must decode to.

Run from this folder with the system Python (its Pillow uses the same libjpeg as the
library): /usr/bin/python3 make_jpeg_bmp_fixtures.py
Each picture NAME.jpg / NAME.bmp has NAME.ppm (RGB) or NAME.pgm (gray) beside it when it
decodes; files meant to be refused have none.
"""
import io
import os
import struct
import subprocess

import numpy as np
from PIL import Image, ImageCms

HERE = os.path.dirname(os.path.abspath(__file__))
JPEG = os.path.join(HERE, "jpeg")
BMP = os.path.join(HERE, "bmp")
rng = np.random.default_rng(7)


def picture(w, h):
    """A gradient with noise and a few sharp edges, so every channel and block differs."""
    y, x = np.mgrid[0:h, 0:w]
    r = (x * 255 // max(w - 1, 1)).astype(np.uint8)
    g = (y * 255 // max(h - 1, 1)).astype(np.uint8)
    b = ((x * 7 + y * 13) % 256).astype(np.uint8)
    a = np.stack([r, g, b], axis=2)
    a[h // 3 : h // 2, w // 4 : w // 2] = (250, 20, 60)
    return np.clip(a.astype(int) + rng.integers(-8, 9, a.shape), 0, 255).astype(np.uint8)


def write_expected(path_stem, img):
    if img.mode == "L":
        img.save(path_stem + ".pgm")
    else:
        img.convert("RGB").save(path_stem + ".ppm")


def write_expected_array(path_stem, rgb):
    Image.fromarray(rgb, "RGB").save(path_stem + ".ppm")


def ink_to_rgb(cmyk):
    """Ink amounts (0 = none) to RGB: k = 255 - K; channel = 255 - min(round(C/255*k + K), 255)."""
    c = cmyk.astype(np.int64)
    k = 255 - c[..., 3:4]
    amount = (c[..., :3] * k + 127) // 255 + c[..., 3:4]
    return (255 - np.minimum(amount, 255)).astype(np.uint8)


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def insert_after_soi(data, seg):
    return data[:2] + seg + data[2:]


def strip_segment(data, marker):
    """Removes the first segment with this marker (before the first scan)."""
    i = 2
    while i < len(data):
        m = data[i + 1]
        n = struct.unpack(">H", data[i + 2 : i + 4])[0]
        if m == marker:
            return data[:i] + data[i + 2 + n :]
        i += 2 + n
    raise ValueError("segment not found")


def exif_bytes(ifd_offset=8, count=1, value_offset=None):
    """A little TIFF: one IFD with an ImageDescription whose text lies past the entry."""
    text = b"a test picture\0"
    off = value_offset if value_offset is not None else 8 + 2 + 12 + 4
    ifd = struct.pack("<H", count) + struct.pack("<HHII", 0x010E, 2, len(text), off) + struct.pack("<I", 0)
    return b"Exif\0\0" + b"II*\0" + struct.pack("<I", ifd_offset) + ifd + text


def iptc_bytes(length=None):
    caption = b"Caption text"
    record = b"\x1c\x02\x78" + struct.pack(">H", length if length is not None else len(caption)) + caption
    res = b"8BIM" + struct.pack(">H", 0x0404) + b"\0\0" + struct.pack(">I", len(record)) + record
    if len(record) % 2:
        res += b"\0"
    return b"Photoshop 3.0\0" + res


def save_jpeg(name, data, expected=None):
    with open(os.path.join(JPEG, name + ".jpg"), "wb") as f:
        f.write(data)
    if expected is not None:
        write_expected(os.path.join(JPEG, name), expected)


def pil_jpeg(img, **kw):
    b = io.BytesIO()
    img.save(b, "JPEG", **kw)
    return b.getvalue()


def decoded(data):
    return Image.open(io.BytesIO(data))


def make_jpegs():
    os.makedirs(JPEG, exist_ok=True)
    rgb = Image.fromarray(picture(37, 23), "RGB")
    gray = rgb.convert("L")

    d = pil_jpeg(rgb, quality=85, dpi=(300, 300))
    save_jpeg("rgb_baseline_300dpi", d, decoded(d))
    d = pil_jpeg(rgb, quality=95, subsampling=0)
    save_jpeg("rgb_444_no_density", d, decoded(d))
    d = pil_jpeg(rgb, progressive=True, dpi=(96, 72))
    save_jpeg("rgb_progressive", d, decoded(d))
    d = pil_jpeg(gray, dpi=(200, 200))
    save_jpeg("gray", d, decoded(d))
    d = pil_jpeg(gray, progressive=True)
    save_jpeg("gray_progressive", d, decoded(d))

    # ImageMagick's writer: colour with restart markers, gray, and CMYK stored as YCCK.
    src = os.path.join(JPEG, "_src.png")
    rgb.save(src)
    for name, args in [
        ("im_rgb_restart", ["-quality", "80", "-define", "jpeg:restart-interval=1"]),
        ("im_gray_interlaced", ["-colorspace", "Gray", "-interlace", "JPEG"]),
        ("im_ycck", ["-colorspace", "CMYK", "-quality", "92"]),
    ]:
        out = os.path.join(JPEG, name + ".jpg")
        subprocess.run(["convert", src] + args + [out], check=True)
        with open(out, "rb") as f:
            d = f.read()
        img = decoded(d)
        if img.mode == "CMYK":
            write_expected_array(os.path.join(JPEG, name), ink_to_rgb(np.asarray(img)))
        else:
            write_expected(os.path.join(JPEG, name), img)
    os.remove(src)

    # Pillow's CMYK: inverted data with the Adobe marker (no transform).
    cmyk = Image.fromarray(np.concatenate([picture(21, 13), picture(21, 13)[..., :1] // 2], axis=2), "CMYK")
    d = pil_jpeg(cmyk, quality=90)
    save_jpeg("cmyk_adobe", d)
    write_expected_array(os.path.join(JPEG, "cmyk_adobe"), ink_to_rgb(np.asarray(decoded(d))))
    # The same data without the marker: four components taken as plain ink amounts. Pillow
    # inverts every CMYK JPEG, so its values are turned back to the stored ones here.
    plain = strip_segment(d, 0xEE)
    save_jpeg("cmyk_plain", plain)
    write_expected_array(os.path.join(JPEG, "cmyk_plain"), ink_to_rgb(255 - np.asarray(decoded(plain))))

    # Density units patched into the JFIF segment: unit at 13, densities at 14 and 16.
    base = bytearray(pil_jpeg(rgb, dpi=(1, 1)))
    dcm = bytearray(base)
    dcm[13] = 2
    dcm[14:18] = struct.pack(">HH", 118, 59)
    save_jpeg("density_per_cm", bytes(dcm), decoded(bytes(dcm)))
    d3 = bytearray(base)
    d3[13] = 3
    d3[14:18] = struct.pack(">HH", 300, 300)
    save_jpeg("density_unit3", bytes(d3))
    dx = bytearray(base)
    dx[14:18] = struct.pack(">HH", 300, 0)
    save_jpeg("density_300x0", bytes(dx))
    save_jpeg("no_jfif", strip_segment(bytes(base), 0xE0))

    # Metadata, sound and broken.
    icc = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes()
    icc = icc[:24] + bytes(12) + icc[36:]  # no creation date, so the files are reproducible
    d = pil_jpeg(rgb, exif=exif_bytes(), icc_profile=icc)
    d = insert_after_soi(d, segment(0xED, iptc_bytes()))
    save_jpeg("metadata", d, decoded(d))
    good = pil_jpeg(rgb)
    save_jpeg("broken_exif_ifd", insert_after_soi(good, segment(0xE1, exif_bytes(ifd_offset=4000))))
    save_jpeg("broken_exif_value", insert_after_soi(good, segment(0xE1, exif_bytes(value_offset=5000))))
    save_jpeg("broken_exif_order", insert_after_soi(good, segment(0xE1, b"Exif\0\0XX*\0\x08\0\0\0")))
    save_jpeg("broken_iptc", insert_after_soi(good, segment(0xED, iptc_bytes(length=400))))
    half = len(icc) // 2
    chunk1 = b"ICC_PROFILE\0\x01\x03" + icc[:half]
    chunk2 = b"ICC_PROFILE\0\x02\x03" + icc[half:]
    save_jpeg("broken_icc_missing_chunk", insert_after_soi(good, segment(0xE2, chunk2) + segment(0xE2, chunk1)))
    save_jpeg("broken_icc_size", insert_after_soi(good, segment(0xE2, b"ICC_PROFILE\0\x01\x01" + icc[:100])))
    # Chunks out of order are joined by sequence number.
    c1 = b"ICC_PROFILE\0\x01\x02" + icc[:half]
    c2 = b"ICC_PROFILE\0\x02\x02" + icc[half:]
    d = insert_after_soi(good, segment(0xE2, c2) + segment(0xE2, c1))
    save_jpeg("icc_two_chunks", d, decoded(d))

    # Truncation: inside the scan (a warning, decodes) and inside the header (an error).
    big = pil_jpeg(Image.fromarray(picture(64, 64), "RGB"), quality=90)
    save_jpeg("truncated_scan", big[: len(big) * 6 // 10])
    save_jpeg("truncated_scan_full", big, decoded(big))
    save_jpeg("truncated_header", big[:120])
    save_jpeg("garbage", b"\xff\xd8" + bytes(rng.integers(0, 256, 300, dtype=np.uint8)))


# ---- BMP ----

def bmp_file(header, palette, pixels, off_bits=None, extra=b""):
    """File header + info header bytes + extra (masks) + palette + pixels."""
    off = 14 + len(header) + len(extra) + len(palette) if off_bits is None else off_bits
    body = header + extra + palette
    data = b"BM" + struct.pack("<IHHI", 14 + len(body) + len(pixels), 0, 0, off) + body
    pad = off - len(data)
    return data + b"\0" * max(pad, 0) + pixels


def info_header(w, h, bits, compression=0, size_image=0, colors=0, ppm=(2835, 2835), size=40, masks=None):
    hdr = struct.pack("<IiiHHIIiiII", size, w, h, 1, bits, compression, size_image, ppm[0], ppm[1], colors, 0)
    if size > 40:
        m = list(masks or (0, 0, 0, 0))
        hdr += struct.pack("<IIII", *m)[: size - 40]
        if size >= 108:
            hdr += b"sRGB" + b"\0" * 36 + b"\0" * 12  # colour space type, endpoints, gamma
        if size == 124:
            hdr += struct.pack("<IIII", 4, 0, 0, 0)
    assert len(hdr) == size, (len(hdr), size)
    return hdr


def palette_bytes(colors, entry=4):
    return b"".join(bytes([b, g, r] + ([0] if entry == 4 else [])) for r, g, b in colors)


def pack_rows(indices, bits, bottom_up=True):
    """Packs rows of indices MSB first, each row padded to 4 bytes."""
    rows = []
    for row in indices:
        bitsrow = 0
        out = bytearray()
        acc = 0
        for v in row:
            acc = (acc << bits) | int(v)
            bitsrow += bits
            if bitsrow == 8:
                out.append(acc)
                acc = bitsrow = 0
        if bitsrow:
            out.append(acc << (8 - bitsrow))
        out += b"\0" * (-len(out) % 4)
        rows.append(bytes(out))
    return b"".join(reversed(rows) if bottom_up else rows)


def rgb_rows(rgb, bits, masks=None, bottom_up=True):
    rows = []
    for row in rgb:
        out = bytearray()
        for r, g, b in row:
            if bits == 24:
                out += bytes([b, g, r])
            else:
                v = 0
                for value, mask in zip((r, g, b), masks):
                    shift = (mask & -mask).bit_length() - 1
                    top = mask >> shift
                    v |= ((int(value) * top + 127) // 255) << shift
                if bits == 32:
                    v |= 0xFF000000 & ~(masks[0] | masks[1] | masks[2]) & 0x80000000  # a stray alpha bit
                out += struct.pack("<I" if bits == 32 else "<H", v)
        out += b"\0" * (-len(out) % 4)
        rows.append(bytes(out))
    return b"".join(reversed(rows) if bottom_up else rows)


def expected_masked(rgb, masks):
    """What the masked values decode to: each field scaled back by round(v * 255 / max)."""
    out = np.zeros_like(rgb)
    for c, mask in enumerate(masks):
        shift = (mask & -mask).bit_length() - 1
        top = mask >> shift
        v = (rgb[..., c].astype(np.int64) * top + 127) // 255
        out[..., c] = (v * 255 + top // 2) // top
    return out


def save_bmp(name, data, expected_rgb=None):
    with open(os.path.join(BMP, name + ".bmp"), "wb") as f:
        f.write(data)
    if expected_rgb is not None:
        write_expected_array(os.path.join(BMP, name), expected_rgb)


def lut(pal, idx, fill=(0, 0, 0)):
    table = np.array([*pal] + [fill] * (256 - len(pal)), dtype=np.uint8)
    return table[idx]


def rle8(ops):
    return b"".join(ops)


def make_own_bmps():
    w, h = 11, 7
    idx8 = (np.arange(w * h).reshape(h, w) * 37 % 256).astype(np.uint8)
    pal256 = [(i, (i * 3) % 256, 255 - i) for i in range(256)]
    pal16 = [(i * 16, 255 - i * 16, (i * 40) % 256) for i in range(16)]
    idx4 = idx8 % 16
    idx1 = idx8 % 2
    pal2 = [(200, 30, 40), (10, 220, 90)]

    save_bmp("pal1", bmp_file(info_header(w, h, 1), palette_bytes(pal2), pack_rows(idx1, 1)), lut(pal2, idx1))
    wb = [(255, 255, 255), (0, 0, 0)]
    save_bmp("pal1_white_first", bmp_file(info_header(w, h, 1), palette_bytes(wb), pack_rows(idx1, 1)), lut(wb, idx1))
    save_bmp("pal4", bmp_file(info_header(w, h, 4), palette_bytes(pal16), pack_rows(idx4, 4)), lut(pal16, idx4))
    save_bmp("pal8", bmp_file(info_header(w, h, 8), palette_bytes(pal256), pack_rows(idx8, 8)), lut(pal256, idx8))
    save_bmp("pal8_topdown", bmp_file(info_header(w, -h, 8), palette_bytes(pal256), pack_rows(idx8, 8, False)),
             lut(pal256, idx8))
    os2 = struct.pack("<IHHHH", 12, w, h, 1, 8)
    save_bmp("pal8_os2", bmp_file(os2, palette_bytes(pal256, 3), pack_rows(idx8, 8)), lut(pal256, idx8))
    os2_24 = struct.pack("<IHHHH", 12, w, h, 1, 24)
    rgb = picture(w, h)
    save_bmp("rgb24_os2", bmp_file(os2_24, b"", rgb_rows(rgb, 24)), rgb)
    # Short tables: by the colour count, and cut by the pixel offset with the count left 0.
    few = idx8 % 5
    save_bmp("pal8_five_colours", bmp_file(info_header(w, h, 8, colors=5), palette_bytes(pal256[:5]),
                                           pack_rows(few, 8)), lut(pal256[:5], few))
    save_bmp("pal8_table_cut_by_offset", bmp_file(info_header(w, h, 8), palette_bytes(pal256[:5]),
                                                  pack_rows(few, 8)), lut(pal256[:5], few))
    save_bmp("pal8_v4", bmp_file(info_header(w, h, 8, size=108), palette_bytes(pal256), pack_rows(idx8, 8)),
             lut(pal256, idx8))
    save_bmp("pal8_v5", bmp_file(info_header(w, h, 8, size=124), palette_bytes(pal256), pack_rows(idx8, 8)),
             lut(pal256, idx8))
    save_bmp("rgb24", bmp_file(info_header(w, h, 24, ppm=(3780, 0)), b"", rgb_rows(rgb, 24)), rgb)
    save_bmp("rgb24_topdown", bmp_file(info_header(w, -h, 24), b"", rgb_rows(rgb, 24, bottom_up=False)), rgb)
    # 16 and 32 bits: plain (5-5-5, 8-8-8) and bit fields behind a 40-byte header or inside V4/V5.
    for name, bits, masks, size, comp in [
        ("rgb16_555", 16, (0x7C00, 0x03E0, 0x001F), 40, 0),
        ("rgb16_565_bitfields", 16, (0xF800, 0x07E0, 0x001F), 40, 3),
        ("rgb16_231_bitfields", 16, (0x0030, 0x000E, 0x0001), 40, 3),
        ("rgb16_565_v5", 16, (0xF800, 0x07E0, 0x001F), 124, 3),
        ("rgb32", 32, (0xFF0000, 0x00FF00, 0x0000FF), 40, 0),
        ("rgb32_bitfields_bgr", 32, (0x000000FF, 0x0000FF00, 0x00FF0000), 40, 3),
        ("rgb32_10bit_v4", 32, (0x3FF00000, 0x000FFC00, 0x000003FF), 108, 3),
        ("rgba32_v5", 32, (0x00FF0000, 0x0000FF00, 0x000000FF), 124, 3),
    ]:
        extra = struct.pack("<III", *masks) if (size == 40 and comp == 3) else b""
        hdr = info_header(w, h, bits, compression=comp, size=size, masks=(*masks, 0xFF000000))
        save_bmp(name, bmp_file(hdr, b"", rgb_rows(rgb, bits, masks), extra=extra),
                 expected_masked(rgb, masks))

    # RLE8: runs, absolute runs of odd length (padded), deltas, an early end of line,
    # a run longer than the row (clipped) and an early end of picture.
    rw, rh = 9, 6
    e = np.zeros((rh, rw), dtype=np.uint8)  # rows from the top; data goes bottom-up
    ops = []
    ops.append(bytes([4, 7]))             # bottom row: 4 x 7
    e[rh - 1, 0:4] = 7
    ops.append(bytes([0, 3, 1, 2, 3, 0]))  # absolute 1 2 3 + pad
    e[rh - 1, 4:7] = [1, 2, 3]
    ops.append(bytes([0, 0]))              # end of line
    ops.append(bytes([0, 2, 2, 1]))        # delta right 2, up 1 -> row 2 from bottom at x=2
    ops.append(bytes([3, 9]))
    e[rh - 3, 2:5] = 9
    ops.append(bytes([0, 0]))
    ops.append(bytes([200, 5]))            # a run past the row's end is clipped
    e[rh - 4, :] = 5
    ops.append(bytes([0, 0]))
    ops.append(bytes([0, 5, 1, 2, 3, 4, 5, 0]))  # absolute 5 + pad
    e[rh - 5, 0:5] = [1, 2, 3, 4, 5]
    ops.append(bytes([0, 1]))              # end of picture: the top row stays 0
    pal = [(i * 20, 100, 255 - i * 20) for i in range(12)]
    hdr = info_header(rw, rh, 8, compression=1, colors=12)
    save_bmp("pal8_rle", bmp_file(hdr, palette_bytes(pal), rle8(ops)), lut(pal, e))

    # RLE4: alternating nibbles in runs, absolute runs of odd length, delta, end of line.
    e4 = np.zeros((rh, rw), dtype=np.uint8)
    ops = []
    ops.append(bytes([5, 0x12]))           # 1 2 1 2 1
    e4[rh - 1, 0:5] = [1, 2, 1, 2, 1]
    ops.append(bytes([0, 3, 0x34, 0x50]))  # absolute 3 4 5: two bytes, already even
    e4[rh - 1, 5:8] = [3, 4, 5]
    ops.append(bytes([0, 0]))
    ops.append(bytes([0, 2, 3, 2]))        # delta to row 3 from bottom, x=3
    ops.append(bytes([4, 0xAB]))
    e4[rh - 4, 3:7] = [10, 11, 10, 11]
    ops.append(bytes([0, 0]))
    ops.append(bytes([30, 0xCD]))          # clipped run
    e4[rh - 5, :] = [12, 13] * 4 + [12]
    ops.append(bytes([0, 0, 0, 1]))
    pal = [(i * 15, 255 - i * 15, 128) for i in range(16)]
    hdr = info_header(rw, rh, 4, compression=2)
    save_bmp("pal4_rle", bmp_file(hdr, palette_bytes(pal), rle8(ops)), lut(pal, e4))

    # Malformed files: refused without harm.
    good = bmp_file(info_header(w, h, 24), b"", rgb_rows(rgb, 24))
    save_bmp("bad_truncated_rows", good[:-40])
    save_bmp("bad_header_size", good[:14] + struct.pack("<I", 20) + good[18:])
    save_bmp("bad_bit_count", bmp_file(info_header(w, h, 2), palette_bytes(pal2 * 2), pack_rows(idx1, 2)))
    save_bmp("bad_rle_topdown", bmp_file(info_header(rw, -rh, 8, compression=1), palette_bytes(pal2),
                                         bytes([0, 1])))
    save_bmp("bad_huge", bmp_file(info_header(60000, 60000, 24), b"", b"\0" * 64))
    save_bmp("bad_rle_huge", bmp_file(info_header(30000, 30000, 8, compression=1), palette_bytes(pal2),
                                      bytes([0, 1])))
    save_bmp("bad_offset", good[:10] + struct.pack("<I", 100000) + good[14:])
    save_bmp("bad_palette", bmp_file(info_header(w, h, 8), b"", b"", off_bits=0)[:60])
    save_bmp("bad_rle8_on_4bit", bmp_file(info_header(w, h, 4, compression=1), palette_bytes(pal16), b"\0\1"))


def make_writer_bmps():
    src_rgb = Image.fromarray(picture(13, 9), "RGB")
    # Pillow's writer in its modes.
    for mode in ["1", "L", "P", "RGB", "RGBA"]:
        img = src_rgb.convert(mode) if mode != "P" else src_rgb.quantize(40)
        if mode == "RGBA":
            img.putalpha(Image.fromarray((np.arange(13 * 9).reshape(9, 13) * 2 % 256).astype(np.uint8)))
        path = os.path.join(BMP, "pil_" + mode.lower())
        img.save(path + ".bmp")
        write_expected(path, Image.open(path + ".bmp").convert("RGB"))
    # ImageMagick's writer: its three header versions, palettes, RLE, bit fields and alpha.
    src = os.path.join(BMP, "_src.png")
    src_rgb.save(src)
    for name, args in [
        ("im_bmp3_24", ["-type", "truecolor", "BMP3:"]),
        ("im_bmp2_24", ["-type", "truecolor", "BMP2:"]),
        ("im_v5_24", ["-type", "truecolor", "BMP:"]),
        ("im_bmp3_pal8", ["-type", "palette", "BMP3:"]),
        ("im_bmp2_pal8", ["-type", "palette", "BMP2:"]),
        ("im_v5_pal8_rle", ["-type", "palette", "-compress", "RLE", "BMP:"]),
        ("im_bmp3_pal8_rle", ["-type", "palette", "-compress", "RLE", "BMP3:"]),
        ("im_pal4", ["-colors", "12", "-type", "palette", "BMP3:"]),
        ("im_bilevel", ["-type", "bilevel", "BMP3:"]),
        ("im_gray", ["-type", "grayscale", "BMP3:"]),
        ("im_v5_rgba32", ["-alpha", "set", "-channel", "A", "-evaluate", "set", "60%", "+channel",
                          "-type", "truecoloralpha", "BMP:"]),
        ("im_rgb565", ["-define", "bmp:subtype=RGB565", "BMP:"]),
        ("im_rgb555", ["-define", "bmp:subtype=RGB555", "BMP:"]),
    ]:
        out = os.path.join(BMP, name + ".bmp")
        subprocess.run(["convert", src] + args[:-1] + [args[-1] + out], check=True)
        img = Image.open(out)
        if name in ("im_rgb565", "im_rgb555"):
            # Pillow truncates 5- and 6-bit fields; the expected values round, like the masks above.
            d = open(out, "rb").read()
            off = struct.unpack("<I", d[10:14])[0]
            masks = struct.unpack("<III", d[54:66])
            w, h = img.size
            stride = (w * 2 + 3) // 4 * 4
            px = np.frombuffer(d[off : off + stride * h], dtype="<u2").reshape(h, stride // 2)[::-1, :w]
            rgb = np.zeros((h, w, 3), dtype=np.uint8)
            for c, mask in enumerate(masks):
                shift = (mask & -mask).bit_length() - 1
                top = mask >> shift
                rgb[..., c] = (((px.astype(np.int64) & mask) >> shift) * 255 + top // 2) // top
            write_expected_array(os.path.join(BMP, name), rgb)
        else:
            write_expected(os.path.join(BMP, name), img.convert("RGB"))
    os.remove(src)


if __name__ == "__main__":
    make_jpegs()
    os.makedirs(BMP, exist_ok=True)
    make_own_bmps()
    make_writer_bmps()
