#!/usr/bin/env python3
"""Makes the TIFF reader's fixtures in tests/images/readers/tif/.

Every source picture is drawn with numpy from a fixed seed and written uncompressed by the small
writer below; tiffcp re-encodes it (compressions, strips, byte order, fill order) and Pillow writes
a few more. Beside the pictures stand the expected decoded pixels as binary PPM files, computed
here from the drawn arrays, never by reading a TIFF back.
Run: python3 make_tif_fixtures.py   (needs numpy, Pillow with libtiff, tiffcp)
"""
import os
import shutil
import struct
import subprocess
import tempfile

import numpy as np
from PIL import Image

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tif")
SHORT, LONG, RATIONAL = 3, 4, 5


def write_tiff(path, width, height, tags, data, big=False):
    """One picture, one strip; tags is a list of (tag, type, values)."""
    e = ">" if big else "<"
    fmt = {SHORT: "H", LONG: "I"}
    head = (b"MM" if big else b"II") + struct.pack(e + "HI", 42, 0)
    blob = bytearray(head) + data
    if len(blob) % 2:
        blob += b"\0"
    entries = [(256, LONG, [width]), (257, LONG, [height]), (273, LONG, [8]),
               (278, LONG, [height]), (279, LONG, [len(data)]),
               (282, RATIONAL, [(300, 1)]), (283, RATIONAL, [(300, 1)]), (296, SHORT, [2])] + tags
    entries.sort(key=lambda t: t[0])
    packed = []
    for tag, typ, values in entries:
        if typ == RATIONAL:
            raw = b"".join(struct.pack(e + "II", n, d) for n, d in values)
        else:
            raw = b"".join(struct.pack(e + fmt[typ], v) for v in values)
        if len(raw) <= 4:
            field = raw.ljust(4, b"\0")
        else:
            field = struct.pack(e + "I", len(blob))
            blob += raw
            if len(blob) % 2:
                blob += b"\0"
        packed.append(struct.pack(e + "HHI", tag, typ, len(values)) + field)
    ifd = len(blob)
    blob += struct.pack(e + "H", len(packed)) + b"".join(packed) + struct.pack(e + "I", 0)
    blob[4:8] = struct.pack(e + "I", ifd)
    with open(path, "wb") as f:
        f.write(blob)


def write_ppm(name, rgb):
    h, w, _ = rgb.shape
    with open(os.path.join(OUT, name + ".ppm"), "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h) + rgb.astype(np.uint8).tobytes())


def pack_bits(values, depth):
    """Rows of samples of 1 or 4 bits packed most significant first, rows byte-aligned."""
    rows = []
    per = 8 // depth
    for row in values:
        padded = np.concatenate([row, np.zeros((-len(row)) % per, dtype=np.uint8)])
        grouped = padded.reshape(-1, per).astype(np.uint16)
        shifts = np.arange(per - 1, -1, -1) * depth
        rows.append(((grouped << shifts).sum(axis=1)).astype(np.uint8).tobytes())
    return b"".join(rows)


def gray_rgb(levels):
    return np.repeat(levels[:, :, None], 3, axis=2)


def tiffcp(src, dst, *opts):
    subprocess.run(["tiffcp", *opts, src, dst], check=True)


def tiffcp_many(srcs, dst, *opts):
    subprocess.run(["tiffcp", *opts, *srcs, dst], check=True)


def main():
    rng = np.random.default_rng(20261208)
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    tmp = tempfile.mkdtemp()
    src = lambda n: os.path.join(tmp, n + ".tif")
    out = lambda n: os.path.join(OUT, n + ".tif")

    # Bilevel: blocks, a diagonal and long runs, so fax codes of every length turn up.
    w, h = 203, 37
    white = np.ones((h, w), dtype=np.uint8)
    for _ in range(40):
        y, x = rng.integers(0, h), rng.integers(0, w)
        white[y:y + rng.integers(1, 6), x:x + rng.integers(1, 60)] = 0
    for i in range(h):
        white[i, (i * 5) % w] = 0
    white[5, :] = 0
    white[9, 100:] = 0
    write_ppm("bw", gray_rgb(white * 255))
    write_tiff(src("bw"), w, h, [(258, SHORT, [1]), (259, SHORT, [1]), (262, SHORT, [1])],
               pack_bits(white, 1))
    write_tiff(src("bw_mw"), w, h, [(258, SHORT, [1]), (259, SHORT, [1]), (262, SHORT, [0])],
               pack_bits(1 - white, 1))
    shutil.copy(src("bw"), out("bw_none"))
    shutil.copy(src("bw_mw"), out("bw_mw_none"))
    for name in ("bw", "bw_mw"):
        tiffcp(src(name), out(name + "_g4"), "-c", "g4")
        tiffcp(src(name), out(name + "_g4_lsb"), "-c", "g4", "-f", "lsb2msb")
        tiffcp(src(name), out(name + "_g4_strips"), "-c", "g4", "-r", "8")
        tiffcp(src(name), out(name + "_g3"), "-c", "g3:1d")
        tiffcp(src(name), out(name + "_g3_fill"), "-c", "g3:1d:fill", "-B")
        tiffcp(src(name), out(name + "_g3_2d"), "-c", "g3:2d")
        tiffcp(src(name), out(name + "_g3_2d_fill"), "-c", "g3:2d:fill", "-r", "8", "-f", "lsb2msb")
        tiffcp(src(name), out(name + "_lzw"), "-c", "lzw", "-r", "10")
        tiffcp(src(name), out(name + "_packbits_lsb"), "-c", "packbits", "-f", "lsb2msb", "-B")
        tiffcp(src(name), out(name + "_lzw_lsb"), "-c", "lzw", "-f", "lsb2msb")
    tiffcp(src("bw"), out("bw_none_lsb"), "-c", "none", "-f", "lsb2msb")
    img = Image.fromarray((white * 255).astype(np.uint8)).convert("1")
    img.save(out("bw_mh_pil"), compression="tiff_ccitt")
    img.save(out("bw_g4_pil"), compression="group4")

    # Gray, 8 and 4 bits, black-is-zero and white-is-zero, and 8 bits with alpha.
    w, h = 37, 23
    gray = ((np.add.outer(np.arange(h) * 7, np.arange(w) * 5) + rng.integers(0, 40, (h, w))) % 256).astype(np.uint8)
    write_ppm("gray8", gray_rgb(gray))
    write_tiff(src("gray8"), w, h, [(258, SHORT, [8]), (262, SHORT, [1])], gray.tobytes())
    write_tiff(src("gray8_mw"), w, h, [(258, SHORT, [8]), (262, SHORT, [0])], (255 - gray).tobytes())
    alpha = rng.integers(0, 256, (h, w), dtype=np.uint8)
    write_tiff(src("gray8_alpha"), w, h, [(258, SHORT, [8, 8]), (262, SHORT, [1]), (277, SHORT, [2]),
                                          (338, SHORT, [2])], np.dstack([gray, alpha]).tobytes())
    gray4 = gray >> 4
    write_ppm("gray4", gray_rgb(gray4 * 17))
    write_tiff(src("gray4"), w, h, [(258, SHORT, [4]), (262, SHORT, [1])], pack_bits(gray4, 4))
    write_tiff(src("gray4_mw"), w, h, [(258, SHORT, [4]), (262, SHORT, [0])], pack_bits(15 - gray4, 4))
    for name in ("gray8", "gray8_mw", "gray8_alpha", "gray4", "gray4_mw"):
        shutil.copy(src(name), out(name + "_none"))
        tiffcp(src(name), out(name + "_lzw"), "-c", "lzw", "-r", "7")
        tiffcp(src(name), out(name + "_packbits"), "-c", "packbits", "-B")
    for name in ("gray8", "gray8_mw", "gray8_alpha"):
        tiffcp(src(name), out(name + "_lzw2"), "-c", "lzw:2", "-B")

    # RGB, 8 bits, with alpha, and 16 bits.
    rgb = rng.integers(0, 256, (h, w, 3), dtype=np.uint8)
    rgb[:, :10] = [200, 30, 90]  # runs for the compressors
    write_ppm("rgb", rgb)
    write_tiff(src("rgb"), w, h, [(258, SHORT, [8, 8, 8]), (262, SHORT, [2]), (277, SHORT, [3])], rgb.tobytes())
    write_tiff(src("rgba"), w, h, [(258, SHORT, [8, 8, 8, 8]), (262, SHORT, [2]), (277, SHORT, [4]),
                                   (338, SHORT, [2])], np.dstack([rgb, alpha]).tobytes())
    for name in ("rgb", "rgba"):
        shutil.copy(src(name), out(name + "_none"))
        tiffcp(src(name), out(name + "_none_be"), "-c", "none", "-B", "-r", "4")
        tiffcp(src(name), out(name + "_lzw"), "-c", "lzw")
        tiffcp(src(name), out(name + "_lzw2"), "-c", "lzw:2", "-r", "5", "-B")
        tiffcp(src(name), out(name + "_packbits"), "-c", "packbits", "-r", "6")
    rgb16 = rgb.astype(np.uint16) * 256 + rng.integers(0, 256, (h, w, 3), dtype=np.uint16)
    for big in (False, True):
        name = "rgb16_" + ("be" if big else "le")
        raw = rgb16.astype(">u2" if big else "<u2").tobytes()
        write_tiff(out(name), w, h, [(258, SHORT, [16, 16, 16]), (262, SHORT, [2]), (277, SHORT, [3])], raw,
                   big=big)
    Image.fromarray(rgb).save(out("rgb_lzw_pil"), compression="tiff_lzw")

    # Palettes of 1, 4 and 8 bits, with 16-bit levels, and one with 8-bit levels.
    for depth in (1, 4, 8):
        n = 1 << depth
        levels = rng.integers(0, 256, (n, 3), dtype=np.uint16)
        index = rng.integers(0, n, (h, w), dtype=np.uint8)
        index[3:9, :] = index[3, 0]
        write_ppm("pal%d" % depth, levels[index].astype(np.uint8))
        cmap = list((levels * 257).T.flatten())
        data = index.tobytes() if depth == 8 else pack_bits(index, depth)
        name = "pal%d" % depth
        write_tiff(src(name), w, h, [(258, SHORT, [depth]), (262, SHORT, [3]), (320, SHORT, cmap)], data)
        shutil.copy(src(name), out(name + "_none"))
        tiffcp(src(name), out(name + "_lzw"), "-c", "lzw", "-B")
        tiffcp(src(name), out(name + "_packbits"), "-c", "packbits", "-r", "3")
        if depth == 8:
            write_tiff(out("pal8_levels8"), w, h,
                       [(258, SHORT, [8]), (262, SHORT, [3]), (320, SHORT, list(levels.T.flatten()))], data,
                       big=True)
            tiffcp(src(name), out(name + "_lzw2"), "-c", "lzw:2")

    # CMYK.
    cmyk = rng.integers(0, 256, (h, w, 4), dtype=np.uint8)
    k = 255.0 - cmyk[:, :, 3:4]
    conv = 255 - np.minimum(np.floor(cmyk[:, :, :3] / 255.0 * k + cmyk[:, :, 3:4] + 0.5), 255)
    write_ppm("cmyk", conv)
    write_tiff(src("cmyk"), w, h, [(258, SHORT, [8, 8, 8, 8]), (262, SHORT, [5]), (277, SHORT, [4])],
               cmyk.tobytes())
    shutil.copy(src("cmyk"), out("cmyk_none"))
    tiffcp(src("cmyk"), out("cmyk_lzw2"), "-c", "lzw:2", "-B")
    tiffcp(src("cmyk"), out("cmyk_packbits"), "-c", "packbits", "-r", "2")

    # Several pictures in one file.
    tiffcp_many([src("bw"), src("gray8"), src("rgb")], out("multi3"), "-c", "lzw")
    tiffcp_many([src("bw"), src("gray8"), src("rgb")], out("multi3_be"), "-c", "packbits", "-B")
    frames = [img, Image.fromarray(gray), Image.fromarray(rgb)]
    frames[0].save(out("multi3_pil"), save_all=True, append_images=frames[1:])
    shutil.rmtree(tmp)


if __name__ == "__main__":
    main()
