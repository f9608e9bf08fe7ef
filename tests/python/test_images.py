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


def dib(width, height, bits, data, palette=(), size=40, compression=0, colors=0, masks=b""):
    """A packed bitmap of any header: data is the stored rows (bottom first) or the compressed data."""
    if size == 12:
        header = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        header = struct.pack("<IiiHHIIiiII", size, width, height, 1, bits, compression, len(data), 2835, 2835,
                             colors, 0)
        header = (header + masks).ljust(size, b"\0") if size > 40 else header + masks
    table = b"".join(bytes((b, g, r) if size == 12 else (b, g, r, 0)) for r, g, b in palette)
    return header + table + data


def padded(*rows):
    return b"".join(row.ljust((len(row) + 3) // 4 * 4, b"\0") for row in rows)


COLOURS = [(200, 10, 30), (0, 128, 255), (90, 90, 90), (255, 255, 0), (1, 2, 3), (40, 250, 160), (7, 77, 177)]
BGR = bytes(range(30, 66))
DIBS = {  # name: packed bitmap, every one 4 x 3 pixels but the last
    "V4 header, 24 bits": dib(4, 3, 24, padded(BGR[:12], BGR[12:24], BGR[24:]), size=108),
    "V5 header, short palette": dib(4, 3, 8, padded(b"\0\1\2\2", b"\2\1\0\0", b"\1\1\2\0"),
                                    COLOURS[:3], size=124, colors=3),
    "4 bits, short palette": dib(4, 3, 4, padded(b"\x01\x23", b"\x44\x32", b"\x10\x04"), COLOURS[:5],
                                 colors=5),
    "core header": dib(4, 3, 4, padded(b"\x01\x23", b"\x45\x66", b"\x10\x04"), COLOURS + [(0, 0, 0)] * 9,
                       size=12),
    "RLE8": dib(4, 3, 8, b"\3\1\1\2\0\0" b"\0\4\1\2\3\0\0\0" b"\2\3\2\0\0\1", COLOURS[:4], compression=1,
                colors=4),
    "RLE4": dib(4, 3, 4, b"\4\x12\0\0" b"\0\4\x34\x56\0\0" b"\4\x56\0\1", COLOURS, compression=2, colors=7),
    "16-bit fields 5-6-5": dib(4, 3, 16, padded(BGR[:8], BGR[8:16], BGR[16:24]), compression=3,
                               masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
    "16 bits": dib(4, 3, 16, padded(BGR[:8], BGR[8:16], BGR[16:24])),
    "32-bit fields, V5 header": dib(4, 3, 32, BGR[:36] + BGR[:12], size=124, compression=3,
                                    masks=struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0)),
    "32 bits": dib(4, 3, 32, BGR[:36] + BGR[:12]),
    "1 bit, white first": dib(9, 2, 1, padded(b"\xA5\x80", b"\x3C\x00"), [(255, 255, 255), (0, 0, 0)]),
}


def test_packed_bitmaps_of_every_header_and_compression_look_as_pillow_reads_them(tmp_path):
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    for page, data in enumerate(DIBS.values(), 1):
        doc.AddPage(0)
        doc.ApplyResource(page, doc.AddImageBMPHandle(pagelith.packed_dib_handle(data)))
    with pytest.raises(pagelith.com_error) as caught:  # JPEG data: refused, not misread
        doc.AddImageBMPHandle(pagelith.packed_dib_handle(dib(4, 3, 24, b"\xff\xd8\xff", compression=4)))
    assert caught.value.description == "Unsupported BMP compression"
    target = tmp_path / "packed.pdf"
    doc.SaveToFile(str(target))
    qpdf_check(target)
    with pikepdf.open(target) as pdf:
        for (name, data), page in zip(DIBS.items(), pdf.pages):
            (raw,) = page.images.values()
            ours = PdfImage(raw).as_pil_image().convert("RGB")
            pillow = BmpImagePlugin.DibImageFile(io.BytesIO(data)).convert("RGB")
            assert ours.size == pillow.size, name
            # Five- and six-bit fields: Pillow truncates where we round.
            worst = max(abs(a - b) for p, q in zip(ours.getdata(), pillow.getdata()) for a, b in zip(p, q))
            assert worst <= (1 if "16" in name else 0), name


FD_SCRIPT = """
import resource, sys
import pagelith
resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))
docs = []
for i in range(200):
    docs.append(pagelith.Dispatch("PagelithASP.PDFSvrDoc"))
    docs[-1].AddPage(0)
    docs[-1].ApplyResource(1, docs[-1].AddImageFile(sys.argv[1]))
docs[-1].SaveToFile(sys.argv[2])
"""


def test_documents_with_spooled_pictures_do_not_use_up_the_descriptors(tmp_path):
    """Each picture waits in the spool (a JPEG passed through), while 200 documents live under a limit of 64
    open files: the documents share the spool's descriptor."""
    photo = tmp_path / "noise.jpg"
    Image.frombytes("RGB", (300, 300), random.Random(1).randbytes(270000)).save(photo, quality=90)
    assert photo.stat().st_size > 65536  # large enough to wait in the spool
    result = subprocess.run([sys.executable, "-c", FD_SCRIPT, str(photo), str(tmp_path / "last.pdf")],
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stderr
    qpdf_check(tmp_path / "last.pdf")
