"""Prints each page's images as decoded by pikepdf and Pillow: width, height and RGB bytes in hex."""
import sys

import pikepdf
from pikepdf import PdfImage

with pikepdf.open(sys.argv[1]) as pdf:
    for page in pdf.pages:
        for _, raw in sorted(page.images.items()):
            image = PdfImage(raw).as_pil_image().convert("RGB")
            print(image.width, image.height, image.tobytes().hex())
