"""Images through the Python module: a packed bitmap handed over in global memory, read back by pikepdf."""

import io
import random
import struct
import subprocess
import sys

import pikepdf
import pytest
from PIL import BmpImagePlugin, Image
from pikepdf import PdfImage

import pagelith
from conftest import qpdf_check


def packed_dib(width, height, bits, palette, rows):
    """rows: top row first, each the row's bytes without padding."""
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, 0, 0, 0, 0, 0)
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    stride = (len(rows[0]) + 3) // 4 * 4
    return header + table + b"".join(row.ljust(stride, b"\xee") for row in reversed(rows))


def test_packed_bitmap_handle(tmp_path):
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.CompressionRGB = 0
    rows = [bytes((0, 0, 255, 0, 255, 0, 255, 0, 0)), bytes((255, 255, 255, 0, 0, 0, 128, 128, 128))]
    handle = pagelith.packed_dib_handle(packed_dib(3, 2, 24, [], rows))
    assert doc.AddImageBMPHandle(handle) == 1
    assert doc.ImageWidth(1) == 3 and doc.ImageHeight(1) == 2
    doc.AddPage(0)
    doc.ApplyResource(1, 1)
    target = tmp_path / "handle.pdf"
    doc.SaveToFile(str(target))
    qpdf_check(target)
    with pikepdf.open(target) as pdf:
        (raw,) = pdf.pages[0].images.values()
        image = PdfImage(raw).as_pil_image().convert("RGB")
    # Stored blue-green-red, bottom-up; read back red-green-blue, top-down.
    assert list(image.getdata()) == [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255), (0, 0, 0),
                                     (128, 128, 128)]
    # The memory was freed: the same handle names nothing now.
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageBMPHandle(handle)
    assert caught.value.description == "The handle is neither a bitmap nor global memory holding a packed bitmap"


def test_handle_zero_adds_nothing():
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    assert doc.AddImageBMPHandle(0) == 0
    assert doc.CreateGraphic() == 1


def dib(bits, data, palette=(), size=40, compression=0, colors=0, masks=()):
    """A packed bitmap of 4 x 3 pixels: data is the stored rows, bottom first, or the compressed data."""
    core = size == 12
    header = struct.pack("<IHHHH", 12, 4, 3, 1, bits) if core else struct.pack(
        "<IiiHHIIiiII%dI" % len(masks), size, 4, 3, 1, bits, compression, 0, 0, 0, colors, 0, *masks).ljust(size, b"\0")
    return header + b"".join(bytes((b, g, r) if core else (b, g, r, 0)) for r, g, b in palette) + data


C = [(200, 10, 30), (0, 128, 255), (90, 90, 90), (255, 255, 0), (1, 2, 3), (40, 250, 160), (7, 77, 177)]
S = bytes(range(30, 78))
DIBS = {
    "V4 header, 24 bits": dib(24, S[:36], size=108),
    "V5 header, short palette": dib(8, b"\0\1\2\2\2\1\0\0\1\1\2\0", C[:3], size=124, colors=3),
    "4 bits, short palette": dib(4, b"\x01\x23\0\0\x44\x32\0\0\x10\x04\0\0", C[:5], colors=5),
    "core header": dib(4, b"\x01\x23\0\0\x45\x66\0\0\x10\x04\0\0", C + C + C[:2], size=12),
    "RLE8": dib(8, b"\3\1\1\2\0\0\0\4\1\2\3\0\0\0\2\3\2\0\0\1", C[:4], compression=1, colors=4),
    "RLE4": dib(4, b"\4\x12\0\0\0\4\x34\x56\0\0\4\x56\0\1", C, compression=2, colors=7),
    "16-bit fields 5-6-5": dib(16, S[:24], compression=3, masks=(0xF800, 0x7E0, 0x1F)),
    "16 bits": dib(16, S[:24]),
    "32-bit fields, V5 header": dib(32, S, size=124, compression=3, masks=(0xFF0000, 0xFF00, 0xFF)),
    "32 bits": dib(32, S),
}


def test_packed_bitmaps_look_as_pillow_reads_them(doc, tmp_path):
    for page, data in enumerate(DIBS.values(), 1):
        doc.AddPage(0)
        doc.ApplyResource(page, doc.AddImageBMPHandle(pagelith.packed_dib_handle(data)))
    with pytest.raises(pagelith.com_error, match="Unsupported BMP compression"):  # JPEG data
        doc.AddImageBMPHandle(pagelith.packed_dib_handle(dib(24, b"\xff\xd8\xff", compression=4)))
    doc.SaveToFile(str(tmp_path / "packed.pdf"))
    qpdf_check(tmp_path / "packed.pdf")
    with pikepdf.open(tmp_path / "packed.pdf") as pdf:
        for (name, data), page in zip(DIBS.items(), pdf.pages):
            ours = PdfImage(next(iter(page.images.values()))).as_pil_image().convert("RGB")
            theirs = BmpImagePlugin.DibImageFile(io.BytesIO(data)).convert("RGB")
            # Five- and six-bit fields: Pillow truncates where we round.
            worst = max(abs(a - b) for p, q in zip(ours.getdata(), theirs.getdata()) for a, b in zip(p, q))
            assert ours.size == theirs.size and worst <= ("16" in name), name


def test_documents_that_spool_share_one_descriptor(tmp_path):
    """200 live documents, each with a picture in the spool (a JPEG passed through), under a limit of 64 files."""
    photo = tmp_path / "noise.jpg"
    Image.frombytes("RGB", (300, 300), random.Random(1).randbytes(270000)).save(photo, quality=90)
    assert photo.stat().st_size > 65536  # large enough to wait in the spool
    script = ("import resource, sys, pagelith\nresource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))\n"
              "for doc in [pagelith.Dispatch('PagelithASP.PDFSvrDoc') for _ in range(200)]:\n"
              "    doc.AddPage(0)\n    doc.ApplyResource(1, doc.AddImageFile(sys.argv[1]))\n")
    result = subprocess.run([sys.executable, "-c", script, str(photo)], capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
