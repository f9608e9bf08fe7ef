"""Images through the Python module: a packed bitmap handed over in global memory, read back by pikepdf."""

import random
import struct
import subprocess
import sys

import pikepdf
import pytest
from PIL import Image
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
