#!/usr/bin/python3
"""Writes the GIF, PSD, PCX and WBMP fixtures and their expected pictures.

Run from anywhere: /usr/bin/python3 tests/images/readers/make_reader_fixtures.py
Needs Pillow, numpy and ImageMagick's convert. For every format folder it writes the input
files, one expected picture per input as binary PPM (RGB as the reader must deliver it) and
cases.txt with one line per input: file, expected picture, working bits, x and y pixels per metre.
"""
import io
import os
import struct
import subprocess
import tempfile

import numpy as np
from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "fixtures")
W, H = 13, 9  # small and not a multiple of 8


def rng(seed):
    return np.random.default_rng(seed)


def save_ppm(path, rgb):
    h, w, _ = rgb.shape
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(np.ascontiguousarray(rgb, dtype=np.uint8).tobytes())


class Cases:
    def __init__(self, fmt):
        self.dir = os.path.join(OUT, fmt)
        os.makedirs(self.dir, exist_ok=True)
        self.lines = []

    def path(self, name):
        return os.path.join(self.dir, name)

    def add(self, name, rgb, bits, xppm=0, yppm=0):
        stem = os.path.splitext(name)[0]
        save_ppm(self.path(stem + ".ppm"), rgb)
        self.lines.append(f"{name} {stem}.ppm {bits} {xppm} {yppm}")

    def write(self):
        with open(self.path("cases.txt"), "w") as f:
            f.write("\n".join(self.lines) + "\n")


def convert(args, data=None):
    subprocess.run(["convert"] + args, input=data, check=True)


def palette_image(seed, colors, w=W, h=H):
    r = rng(seed)
    pal = r.integers(0, 256, size=(colors, 3), dtype=np.uint8)
    idx = r.integers(0, colors, size=(h, w), dtype=np.uint8)
    return pal, idx


# ---------------------------------------------------------------- GIF


def gif_lzw(indices, min_size):
    """Plain LZW: literals only, with a clear code before the table would widen the codes."""
    clear, end = 1 << min_size, (1 << min_size) + 1
    width = min_size + 1
    room = (1 << min_size) - 3
    codes = [clear]
    for i, v in enumerate(indices):
        if i and i % room == 0:
            codes.append(clear)
        codes.append(int(v))
    codes.append(end)
    out, acc, n = bytearray(), 0, 0
    for c in codes:
        acc |= c << n
        n += width
        while n >= 8:
            out.append(acc & 255)
            acc >>= 8
            n -= 8
    if n:
        out.append(acc & 255)
    blocks = bytearray([min_size])
    for i in range(0, len(out), 255):
        chunk = out[i : i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\0")


def table_bits(n):
    bits = 0
    while (2 << bits) < n:
        bits += 1
    return bits


def gif_file(screen, global_pal, frames, version=b"89a"):
    """frames: (left, top, indices, local_pal or None, interlaced, transparent or None)."""
    sw, sh = screen
    out = bytearray(b"GIF" + version + struct.pack("<HH", sw, sh))
    if global_pal is not None:
        bits = table_bits(len(global_pal))
        out += bytes([0x80 | bits, 0, 0])
        out += np.resize(global_pal, (2 << bits, 3)).astype(np.uint8).tobytes()
    else:
        out += bytes([0, 0, 0])
    for left, top, idx, local, interlaced, transparent in frames:
        if transparent is not None:
            out += bytes([0x21, 0xF9, 4, 1, 0, 0, transparent, 0])
        h, w = idx.shape
        flags = 0x40 if interlaced else 0
        if local is not None:
            bits = table_bits(len(local))
            flags |= 0x80 | bits
        out += b"\x2C" + struct.pack("<HHHH", left, top, w, h) + bytes([flags])
        if local is not None:
            out += np.resize(local, (2 << bits, 3)).astype(np.uint8).tobytes()
        rows = list(range(h))
        if interlaced:
            rows = list(range(0, h, 8)) + list(range(4, h, 8)) + list(range(2, h, 4)) + list(range(1, h, 2))
        out += gif_lzw(idx[rows].reshape(-1), 8)
    out += b"\x3B"
    return bytes(out)


def gif_expected(path):
    """The first frame under the reader's rules, with Pillow's indices and palette as reference."""
    data = open(path, "rb").read()
    sw, sh = struct.unpack_from("<HH", data, 6)
    packed = data[10]
    pos = 13
    gpal = None
    if packed & 0x80:
        n = 2 << (packed & 7)
        gpal = np.frombuffer(data[pos : pos + 3 * n], np.uint8).reshape(n, 3)
        pos += 3 * n
    transparent = None
    while True:
        b = data[pos]
        if b == 0x21:
            label = data[pos + 1]
            pos += 2
            if label == 0xF9 and data[pos + 1] & 1:
                transparent = data[pos + 4]
            while data[pos]:
                pos += data[pos] + 1
            pos += 1
            continue
        assert b == 0x2C
        left, top, fw, fh = struct.unpack_from("<HHHH", data, pos + 1)
        flags = data[pos + 9]
        lpal = None
        if flags & 0x80:
            n = 2 << (flags & 7)
            lpal = np.frombuffer(data[pos + 10 : pos + 10 + 3 * n], np.uint8).reshape(n, 3)
        break
    im = Image.open(path)
    assert im.mode in ("P", "L"), im.mode
    idx = np.array(im, dtype=np.uint8)[top : top + fh, left : left + fw]
    pal = lpal if lpal is not None else gpal
    frame_rgb = pal[idx]
    whole = (left, top, fw, fh) == (0, 0, sw, sh)
    own = not whole and lpal is not None and (gpal is None or not np.array_equal(lpal, gpal))
    n = len(pal)
    bits = 24 if own else (1 if n <= 2 else 4 if n <= 16 else 8)
    if whole:
        return frame_rgb, bits
    fill = gpal[0] if gpal is not None else np.zeros(3, np.uint8)
    screen = np.tile(fill, (sh, sw, 1)).astype(np.uint8)
    mask = np.ones(idx.shape, bool) if transparent is None else idx != transparent
    region = screen[top : top + fh, left : left + fw]
    region[mask] = frame_rgb[mask]
    return screen, bits


def make_gif():
    c = Cases("gif")

    def add(name):
        rgb, bits = gif_expected(c.path(name))
        c.add(name, rgb, bits)

    pal, idx = palette_image(1, 16)
    im = Image.fromarray(idx, "P")
    im.putpalette(pal.reshape(-1).tolist())
    im.save(c.path("pillow_p16.gif"))
    add("pillow_p16.gif")

    pal, idx = palette_image(2, 200, 20, 18)
    im = Image.fromarray(idx, "P")
    im.putpalette(pal.reshape(-1).tolist())
    im.save(c.path("pillow_interlaced.gif"), interlace=True, optimize=False)
    im.save(c.path("pillow_progressive_off.gif"), interlace=False, optimize=False)
    add("pillow_interlaced.gif")
    add("pillow_progressive_off.gif")

    # Enough noise for the code table to fill up and be cleared.
    pal, idx = palette_image(13, 256, 96, 64)
    im = Image.fromarray(idx, "P")
    im.putpalette(pal.reshape(-1).tolist())
    im.save(c.path("pillow_full_table.gif"), interlace=False, optimize=False)
    add("pillow_full_table.gif")

    gray = rng(3).integers(0, 256, size=(H, W), dtype=np.uint8)
    Image.fromarray(gray, "L").save(c.path("pillow_gray.gif"))
    add("pillow_gray.gif")

    bw = rng(4).integers(0, 2, size=(H, W), dtype=np.uint8) * 255
    Image.fromarray(bw, "L").convert("1").save(c.path("pillow_1bit.gif"))
    add("pillow_1bit.gif")

    pal, idx = palette_image(5, 8)
    im = Image.fromarray(idx, "P")
    im.putpalette(pal.reshape(-1).tolist())
    im.save(c.path("pillow_transparency.gif"), transparency=3, optimize=False)
    add("pillow_transparency.gif")

    # Two frames: the second one's palette differs, so it carries a local table.
    frames = []
    for seed in (6, 7):
        pal, idx = palette_image(seed, 16)
        f = Image.fromarray(idx, "P")
        f.putpalette(pal.reshape(-1).tolist())
        frames.append(f)
    frames[0].save(c.path("pillow_animated.gif"), save_all=True, append_images=frames[1:], optimize=False)
    add("pillow_animated.gif")

    rgb = rng(8).integers(0, 256, size=(H, W, 3), dtype=np.uint8)
    convert(["-size", f"{W}x{H}", "-depth", "8", "rgb:-", c.path("im_rgb.gif")], rgb.tobytes())
    add("im_rgb.gif")
    convert(["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "GIF87:" + c.path("im_87a.gif")], rgb.tobytes())
    assert open(c.path("im_87a.gif"), "rb").read(6) == b"GIF87a"
    add("im_87a.gif")
    convert(["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-interlace", "GIF", c.path("im_interlaced.gif")],
            rgb.tobytes())
    add("im_interlaced.gif")
    # A first frame smaller than the screen, at an offset.
    small = rng(9).integers(0, 256, size=(6, 8, 3), dtype=np.uint8)
    convert(["-size", "8x6", "-depth", "8", "rgb:-", "-repage", "20x16+5+7", c.path("im_offset.gif")],
            small.tobytes())
    add("im_offset.gif")

    # Own writer: the table and drawing cases no writer above produces.
    gpal, gidx = palette_image(10, 4, 12, 10)
    lpal, lidx = palette_image(11, 16, 5, 4)
    with open(c.path("own_local_only.gif"), "wb") as f:
        f.write(gif_file((12, 10), None, [(0, 0, gidx, gpal, False, None)]))
    add("own_local_only.gif")
    with open(c.path("own_local_offset.gif"), "wb") as f:
        f.write(gif_file((12, 10), gpal, [(3, 2, lidx, lpal, False, None)]))
    add("own_local_offset.gif")
    with open(c.path("own_transparent_offset.gif"), "wb") as f:
        f.write(gif_file((12, 10), gpal, [(7, 6, lidx % 4, None, False, 2)]))
    add("own_transparent_offset.gif")
    with open(c.path("own_interlaced_offset.gif"), "wb") as f:
        pal, idx = palette_image(12, 200, 7, 11)
        f.write(gif_file((9, 17), pal, [(2, 5, idx, None, True, None), (0, 0, gidx[:2, :2], None, False, None)],
                         b"87a"))
    add("own_interlaced_offset.gif")
    c.write()


# ---------------------------------------------------------------- PSD


def packbits(row):
    out, i, n = bytearray(), 0, len(row)
    while i < n:
        j = i
        while j + 1 < n and row[j + 1] == row[i] and j - i < 127:
            j += 1
        if j > i:
            out += bytes([257 - (j - i + 1), row[i]])
            i = j + 1
            continue
        j = i
        while j + 1 < n and j - i < 127 and not (j + 2 < n and row[j + 1] == row[j + 2]):
            j += 1
        out += bytes([j - i]) + bytes(row[i : j + 1])
        i = j + 1
    return bytes(out)


def psd_file(mode, depth, planes, color_data=b"", rle=False, resources=b""):
    """planes: list of channel arrays (rows of bytes already packed for depth 1, big-endian for 16)."""
    ch = len(planes)
    h = planes[0].shape[0]
    w = planes[0].shape[1] if depth == 8 else planes[0].shape[1] * 8 if depth == 1 else planes[0].shape[1] // 2
    out = bytearray(b"8BPS" + struct.pack(">H6xHIIHH", 1, ch, h, w, depth, mode))
    out += struct.pack(">I", len(color_data)) + color_data
    out += struct.pack(">I", len(resources)) + resources
    out += struct.pack(">I", 0)
    if rle:
        rows = [packbits(bytes(p[y])) for p in planes for y in range(h)]
        out += struct.pack(">H", 1) + b"".join(struct.pack(">H", len(r)) for r in rows) + b"".join(rows)
    else:
        out += struct.pack(">H", 0) + b"".join(p.tobytes() for p in planes)
    return bytes(out)


def psd_header(path):
    d = open(path, "rb").read(26)
    ch, h, w, depth, mode = struct.unpack_from(">HIIHH", d, 12)
    return ch, depth, mode


def cmyk_to_rgb(cmyk):
    c = cmyk.astype(np.float64)
    k = 255.0 - c[..., 3:4]
    v = np.floor(c[..., :3] / 255.0 * k + c[..., 3:4] + 0.5)
    return (255 - np.minimum(v, 255)).astype(np.uint8)


def make_psd():
    c = Cases("psd")
    gray = rng(20).integers(0, 256, size=(H, W), dtype=np.uint8)
    rgb = rng(21).integers(0, 256, size=(H, W, 3), dtype=np.uint8)
    cmyk = rng(22).integers(0, 256, size=(H, W, 4), dtype=np.uint8)
    for depth in (8, 16):
        for comp in ("None", "RLE"):
            tag = f"{depth}_{comp.lower()}"
            for kind, data, raw, want_mode, expected in (
                ("gray", gray, "gray", 1, np.stack([gray] * 3, -1)),
                ("rgb", rgb, "rgb", 3, rgb),
                ("cmyk", cmyk, "cmyk", 4, cmyk_to_rgb(cmyk)),
            ):
                name = f"im_{kind}_{tag}.psd"
                convert(["-size", f"{W}x{H}", "-depth", "8", f"{raw}:-", "-depth", str(depth),
                         "-compress", comp, c.path(name)], data.tobytes())
                ch, d, mode = psd_header(c.path(name))
                assert (d, mode) == (depth, want_mode), (name, d, mode)
                if depth == 16 and comp == "RLE":
                    continue  # refused: checked by the tests, not listed here
                if depth == 8 and kind != "cmyk":
                    assert np.array_equal(np.array(Image.open(c.path(name)).convert("RGB")), expected)
                c.add(name, expected, 8 if kind == "gray" else 24)

    pal, idx = palette_image(23, 16)
    img = pal[idx]
    for comp in ("None", "RLE"):
        name = f"im_indexed_{comp.lower()}.psd"
        convert(["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-type", "Palette", "-compress", comp,
                 c.path(name)], img.tobytes())
        assert psd_header(c.path(name))[1:] == (8, 2), psd_header(c.path(name))
        c.add(name, img, 8)
        bw = rng(24).integers(0, 2, size=(H, W), dtype=np.uint8) * 255
        name = f"im_bitmap_{comp.lower()}.psd"
        convert(["-size", f"{W}x{H}", "-depth", "8", "gray:-", "-type", "Bilevel", "-depth", "1", "-compress", comp,
                 c.path(name)], bw.tobytes())
        ch, d, mode = psd_header(c.path(name))
        assert (ch, d, mode) == (1, 1, 0), (name, ch, d, mode)
        c.add(name, np.stack([bw] * 3, -1), 1)

    # Own writer: duotone, gray with alpha, RGB with alpha, indexed, resources, and the refused modes.
    resources = b"8BIM" + struct.pack(">H", 1005) + b"\x03abc" + struct.pack(">I", 3) + b"xyz\0"
    with open(c.path("own_duotone.psd"), "wb") as f:
        f.write(psd_file(8, 8, [gray], color_data=b"\0" * 16, rle=True, resources=resources))
    c.add("own_duotone.psd", np.stack([gray] * 3, -1), 8)
    alpha = rng(25).integers(0, 256, size=(H, W), dtype=np.uint8)
    with open(c.path("own_gray_alpha.psd"), "wb") as f:
        f.write(psd_file(1, 8, [gray, alpha], rle=True))
    c.add("own_gray_alpha.psd", np.stack([gray] * 3, -1), 8)
    with open(c.path("own_rgba_raw.psd"), "wb") as f:
        f.write(psd_file(3, 8, [rgb[..., 0], rgb[..., 1], rgb[..., 2], alpha], resources=resources))
    c.add("own_rgba_raw.psd", rgb, 24)
    full = rng(26).integers(0, 256, size=(256, 3), dtype=np.uint8)
    idx = rng(27).integers(0, 256, size=(H, W), dtype=np.uint8)
    with open(c.path("own_indexed256.psd"), "wb") as f:
        f.write(psd_file(2, 8, [idx], color_data=full.T.tobytes(), rle=True))
    c.add("own_indexed256.psd", full[idx], 8)
    long_rows = rng(28).integers(0, 4, size=(3, 300), dtype=np.uint8) * 60
    long_rows[:, 100:250] = 7  # runs longer than 128
    with open(c.path("own_gray_long_runs.psd"), "wb") as f:
        f.write(psd_file(1, 8, [long_rows], rle=True))
    c.add("own_gray_long_runs.psd", np.stack([long_rows] * 3, -1), 8)
    for name, mode in (("own_lab.psd", 9), ("own_multichannel.psd", 7)):
        with open(c.path(name), "wb") as f:
            f.write(psd_file(mode, 8, [gray, gray, gray]))
    c.write()


# ---------------------------------------------------------------- PCX


def pcx_rle(line):
    out, i = bytearray(), 0
    while i < len(line):
        j = i
        while j + 1 < len(line) and line[j + 1] == line[i] and j - i < 62:
            j += 1
        n = j - i + 1
        if n > 1 or line[i] >= 0xC0:
            out += bytes([0xC0 | n, line[i]])
        else:
            out.append(line[i])
        i = j + 1
    return bytes(out)


def make_pcx():
    c = Cases("pcx")
    ppm100 = round(100 * 39.37007874)

    def pillow_ref(name):
        return np.array(Image.open(c.path(name)).convert("RGB"))

    bw = rng(30).integers(0, 2, size=(H, W), dtype=np.uint8) * 255
    Image.fromarray(bw, "L").convert("1").save(c.path("pillow_1bit.pcx"))
    c.add("pillow_1bit.pcx", pillow_ref("pillow_1bit.pcx"), 1, ppm100, ppm100)
    gray = rng(31).integers(0, 256, size=(H, W), dtype=np.uint8)
    Image.fromarray(gray, "L").save(c.path("pillow_gray.pcx"))
    c.add("pillow_gray.pcx", pillow_ref("pillow_gray.pcx"), 8, ppm100, ppm100)
    pal, idx = palette_image(32, 256)
    im = Image.fromarray(idx, "P")
    im.putpalette(pal.reshape(-1).tolist())
    im.save(c.path("pillow_p.pcx"))
    c.add("pillow_p.pcx", pillow_ref("pillow_p.pcx"), 8, ppm100, ppm100)
    rgb = rng(33).integers(0, 256, size=(H, W, 3), dtype=np.uint8)
    rgb[2:5, :] = 200  # some runs
    Image.fromarray(rgb, "RGB").save(c.path("pillow_rgb.pcx"))
    c.add("pillow_rgb.pcx", pillow_ref("pillow_rgb.pcx"), 24, ppm100, ppm100)

    for kind, args, bits in (
        ("rgb", ["-size", f"{W}x{H}", "-depth", "8", "rgb:-"], 24),
        ("palette", ["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-type", "Palette"], 8),
        # Two colours at one bit: the writer leaves the header palette empty.
        ("bilevel", ["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-type", "Palette", "-depth", "1"], 1),
        ("rgb_dpi", ["-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-units", "PixelsPerInch", "-density", "300x150"],
         24),
    ):
        name = f"im_{kind}.pcx"
        two = np.array([[20, 30, 140], [250, 220, 10]], np.uint8)[bw // 255]
        data = (two if kind == "bilevel" else pal[idx] if kind == "palette" else rgb).tobytes()
        convert(args + [c.path(name)], data)
        head = open(c.path(name), "rb").read(128)
        assert head[:2] == b"\x0a\x05", head[:4]
        xdpi, ydpi = struct.unpack_from("<HH", head, 12)
        assert bits == (24 if head[65] == 3 else head[3]), (name, head[3], head[65])
        c.add(name, pillow_ref(name), bits, round(xdpi * 39.37007874), round(ydpi * 39.37007874))

    # Own writer: 1 bit × 4 planes with the header palette, 1 bit with a real two-colour palette,
    # and a run crossing from one row into the next.
    def pcx_file(bits, planes, bpl, w, h, lines, header_pal=b"\0" * 48, dpi=(72, 72), tail=b"", rle=None):
        head = struct.pack("<BBBBHHHHHH", 10, 5, 1, bits, 0, 0, w - 1, h - 1, *dpi) + header_pal
        head += bytes([0, planes]) + struct.pack("<HH", bpl, 1)
        head += b"\0" * (128 - len(head))
        body = rle if rle is not None else b"".join(pcx_rle(line) for line in lines)
        return head + body + tail

    pal16 = rng(34).integers(0, 256, size=(16, 3), dtype=np.uint8)
    idx4 = rng(35).integers(0, 16, size=(H, W), dtype=np.uint8)
    bpl = 2
    lines = []
    for y in range(H):
        line = bytearray()
        for p in range(4):
            bitsrow = ((idx4[y] >> p) & 1).astype(np.uint8)
            line += np.packbits(np.pad(bitsrow, (0, bpl * 8 - W))).tobytes()
        lines.append(bytes(line))
    with open(c.path("own_4plane.pcx"), "wb") as f:
        f.write(pcx_file(1, 4, bpl, W, H, lines, pal16.tobytes()))
    assert np.array_equal(pillow_ref("own_4plane.pcx"), pal16[idx4])
    c.add("own_4plane.pcx", pal16[idx4], 4, round(72 * 39.37007874), round(72 * 39.37007874))

    two = bytes([0, 0, 128, 255, 255, 0]) + b"\0" * 42
    bits = rng(36).integers(0, 2, size=(H, W), dtype=np.uint8)
    lines = [np.packbits(np.pad(bits[y], (0, 16 - W))).tobytes() for y in range(H)]
    with open(c.path("own_1bit_palette.pcx"), "wb") as f:
        f.write(pcx_file(1, 1, 2, W, H, lines, two, dpi=(96, 120)))
    c.add("own_1bit_palette.pcx", np.array([[0, 0, 128], [255, 255, 0]], np.uint8)[bits], 1,
          round(96 * 39.37007874), round(120 * 39.37007874))

    flat = bytes([0xC0 | 6, 0x55]) + bytes([0xC0 | 2, 0xAA])  # 3 rows of 2 bytes, one run across rows
    with open(c.path("own_run_across_rows.pcx"), "wb") as f:
        f.write(pcx_file(1, 1, 2, 16, 4, None, two, rle=flat))
    rows = np.unpackbits(np.frombuffer(bytes([0x55] * 6 + [0xAA] * 2), np.uint8)).reshape(4, 16)
    c.add("own_run_across_rows.pcx", np.array([[0, 0, 128], [255, 255, 0]], np.uint8)[rows], 1,
          round(72 * 39.37007874), round(72 * 39.37007874))
    c.write()


# ---------------------------------------------------------------- WBMP


def wbmp_int(v):
    groups = []
    while True:
        groups.append(v & 0x7F)
        v >>= 7
        if not v:
            break
    groups.reverse()
    return bytes([g | 0x80 for g in groups[:-1]] + [groups[-1]])


def make_wbmp():
    c = Cases("wbmp")
    for name, (w, h) in (("own_10x3.wbmp", (10, 3)), ("own_130x2.wbmp", (130, 2)), ("own_8x2.wbmp", (8, 2))):
        bits = rng(40 + w).integers(0, 2, size=(h, w), dtype=np.uint8)
        rows = b"".join(np.packbits(bits[y]).tobytes() for y in range(h))
        with open(c.path(name), "wb") as f:
            f.write(b"\0\0" + wbmp_int(w) + wbmp_int(h) + rows)
        c.add(name, np.stack([bits * 255] * 3, -1).astype(np.uint8), 1)
    bw = rng(45).integers(0, 2, size=(H, W), dtype=np.uint8) * 255
    convert(["-size", f"{W}x{H}", "-depth", "8", "gray:-", c.path("im_bilevel.wbmp")], bw.tobytes())
    c.add("im_bilevel.wbmp", np.stack([bw] * 3, -1), 1)
    c.write()


if __name__ == "__main__":
    make_gif()
    make_psd()
    make_pcx()
    make_wbmp()
