"""Prints each page's images as an independent reader decodes them: width, height, RGB bytes in hex.

pikepdf reads the streams; Pillow decodes what it can. Indexed samples are looked up in their palette
here, because both tools reduce 1-bit indexed images to black and white.
"""
import sys

import pikepdf
from pikepdf import PdfImage


def indexed_rgb(raw, width, height, bits):
    samples = raw.read_bytes()
    base, lookup = raw.ColorSpace[1], raw.ColorSpace[3]
    assert base == pikepdf.Name.DeviceRGB
    table = lookup.read_bytes() if isinstance(lookup, pikepdf.Stream) else bytes(lookup)
    row_bytes = (width * bits + 7) // 8
    out = bytearray()
    for y in range(height):
        row = samples[y * row_bytes:(y + 1) * row_bytes]
        for x in range(width):
            bit = x * bits
            index = (row[bit // 8] >> (8 - bits - bit % 8)) & ((1 << bits) - 1)
            out += table[3 * index:3 * index + 3]
    return bytes(out)


with pikepdf.open(sys.argv[1]) as pdf:
    for page in pdf.pages:
        for _, raw in sorted(page.images.items()):
            width, height = int(raw.Width), int(raw.Height)
            space = raw.get("/ColorSpace")
            if isinstance(space, pikepdf.Array) and space[0] == pikepdf.Name.Indexed:
                rgb = indexed_rgb(raw, width, height, int(raw.BitsPerComponent))
            else:
                picture = PdfImage(raw).as_pil_image()
                parms = raw.get("/DecodeParms")
                if raw.get("/Filter") == pikepdf.Name.CCITTFaxDecode and parms is not None and \
                        bool(parms.get("/BlackIs1", False)):
                    # pikepdf hands CCITT data to Pillow without its BlackIs1 flag; readers honour it.
                    from PIL import ImageOps
                    picture = ImageOps.invert(picture.convert("L"))
                rgb = picture.convert("RGB").tobytes()
            print(width, height, rgb.hex())
