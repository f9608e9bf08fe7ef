"""Pictures through the automation object end to end: each file format into a PDF, the PDF's image
read back by independent decoders (poppler's pdfimages and pdftoppm, Pillow), and the failures a
script sees."""

import glob
import io
import os

import numpy as np

import pikepdf
import pytest
from pikepdf import PdfImage
from PIL import Image, ImageDraw, ImageOps

import pagelith
from conftest import qpdf_check, run_tool

HERE = os.path.dirname(os.path.abspath(__file__))
PNGSUITE = os.path.normpath(os.path.join(HERE, "..", "..", "..", "shared", "corpus", "pngsuite"))


def pdf_image_rgb(raw):
    """An image XObject as RGB, decoded by pikepdf and Pillow. Indexed samples are looked up here, since
    both reduce 1-bit indexed images to black and white; CCITT data gets its BlackIs1 flag applied."""
    width, height = int(raw.Width), int(raw.Height)
    space = raw.get("/ColorSpace")
    if isinstance(space, pikepdf.Array) and space[0] == pikepdf.Name.Indexed:
        bits = int(raw.BitsPerComponent)
        samples = raw.read_bytes()
        lookup = space[3]
        table = lookup.read_bytes() if isinstance(lookup, pikepdf.Stream) else bytes(lookup)
        row_bytes = (width * bits + 7) // 8
        out = bytearray()
        for y in range(height):
            row = samples[y * row_bytes:(y + 1) * row_bytes]
            for x in range(width):
                index = (row[x * bits // 8] >> (8 - bits - x * bits % 8)) & ((1 << bits) - 1)
                out += table[3 * index:3 * index + 3]
        return Image.frombytes("RGB", (width, height), bytes(out))
    picture = PdfImage(raw).as_pil_image()
    parms = raw.get("/DecodeParms")
    if raw.get("/Filter") == pikepdf.Name.CCITTFaxDecode and parms is not None and bool(parms.get("/BlackIs1", False)):
        picture = ImageOps.invert(picture.convert("L"))
    return picture.convert("RGB")


def extracted(doc, tmp_path, name="doc"):
    """Saves the document, checks it with qpdf and returns its first image as an independent decoder
    reads it, as RGB."""
    pdf = tmp_path / (name + ".pdf")
    doc.SaveToFile(str(pdf))
    qpdf_check(pdf)
    with pikepdf.open(pdf) as document:
        images = [raw for page in document.pages for _, raw in sorted(page.images.items())]
        assert images, "no image in %s" % pdf
        return pdf_image_rgb(images[0])


def placed(doc, resource, page=1):
    if doc.PageWidth(1) == 0:
        doc.AddPage(0)
    doc.ApplyResource(page, resource)
    return resource


def reference_rgb(path):
    """What the document keeps of a PNG: 8-bit samples (16-bit keep their high byte), alpha dropped."""
    image = Image.open(path)
    if image.mode in ("I", "I;16", "I;16B"):
        import numpy as np
        a = (np.asarray(image, dtype=np.uint32) >> 8).astype(np.uint8)
        return Image.fromarray(a, "L").convert("RGB")
    return image.convert("RGB")


def pngsuite_files():
    if not os.path.isdir(PNGSUITE):
        return []
    return sorted(glob.glob(os.path.join(PNGSUITE, "*.png")) + glob.glob(os.path.join(PNGSUITE, "interlaced", "*.png")))


@pytest.mark.skipif(not pngsuite_files(), reason="PngSuite is not beside the checkout")
# str(): with no PngSuite beside the checkout the one parameter is a placeholder, not a path.
@pytest.mark.parametrize("path", pngsuite_files(), ids=lambda p: os.path.basename(str(p)))
def test_pngsuite_pictures_reach_the_pdf_unchanged(doc, tmp_path, path):
    doc.AddPage(0)
    placed(doc, doc.AddImageFile(path))
    got = extracted(doc, tmp_path)
    assert got.size == Image.open(path).size
    assert got.tobytes() == reference_rgb(path).tobytes()


def test_alpha_merge_against_white(doc, tmp_path):
    rgba = Image.new("RGBA", (4, 1))
    rgba.putdata([(0, 0, 0, 128), (200, 200, 200, 64), (10, 20, 30, 0), (10, 20, 30, 255)])
    buffer = io.BytesIO()
    rgba.save(buffer, "PNG")
    doc.MergeAlpha = True
    doc.AddPage(0)
    placed(doc, doc.AddImageBytes(buffer.getvalue()))
    got = list(extracted(doc, tmp_path).getdata())
    assert got == [(127, 127, 127), (241, 241, 241), (255, 255, 255), (10, 20, 30)]


def samples():
    """Smooth and noisy samples; the smooth ones differ under every turn and mirror."""
    y, x = np.mgrid[0:48, 0:64]
    smooth = np.dstack([x * 4, y * 5, (x + y) * 2]).astype(np.uint8)
    noise = ((x * 7919 + y * 104729) * 2654435761 >> 13 & 255).astype(np.uint8)
    rgb = Image.fromarray(smooth, "RGB")
    return {"rgb": rgb, "gray noise": Image.fromarray(noise, "L"), "gray": rgb.crop((0, 0, 61, 48)).convert("L"),
            "palette": rgb.quantize(5), "rgba": Image.fromarray(np.dstack([smooth, noise]), "RGBA").crop((0, 0, 61, 48))}


# Passed through or encoded here, with or without predictors, PNG rows decode to Pillow's pixels.
@pytest.mark.parametrize("source", [True, False], ids=["passed", "encoded"])
@pytest.mark.parametrize("name", list(samples()))
def test_png_rows_decode_unchanged(doc, tmp_path, source, name):
    samples()[name].save(tmp_path / "sample.png")
    doc.UseSourceCompression = source
    placed(doc, doc.AddImageFile(str(tmp_path / "sample.png")))
    assert extracted(doc, tmp_path).tobytes() == samples()[name].convert("RGB").tobytes()


def test_every_format_through_files_and_bytes(doc, tmp_path):
    picture = Image.new("RGB", (40, 24), (255, 255, 255))
    draw = ImageDraw.Draw(picture)
    draw.rectangle([4, 4, 20, 18], fill=(200, 0, 0))
    draw.line([(0, 23), (39, 0)], fill=(0, 0, 160))
    lossless = {"png": {}, "bmp": {}, "tiff": {"compression": "tiff_lzw"}, "pcx": {}}
    for fmt, options in lossless.items():
        path = tmp_path / ("pic." + fmt)
        picture.save(path, **options)
        for how in ("file", "bytes"):
            d = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
            d.AddPage(0)
            r = d.AddImageFile(str(path)) if how == "file" else d.AddImageBytes(path.read_bytes())
            if fmt == "png":  # the one format here whose resolution is not taken over: 72 dpi
                assert (d.ImageWidth(r), d.ImageHeight(r)) == (40, 24)
            placed(d, r)
            got = extracted(d, tmp_path, "%s-%s" % (fmt, how))
            assert got.tobytes() == picture.tobytes(), (fmt, how)
    for fmt in ("gif", "jpeg"):
        path = tmp_path / ("pic." + fmt)
        (picture.quantize(64) if fmt == "gif" else picture).save(path, quality=95)
        doc.AddPage(0)
        placed(doc, doc.AddImageFile(str(path)), doc.PageWidth(1) and 1)
    assert doc.ImageCount(str(tmp_path / "pic.gif")) == 1


def test_multi_picture_tiff_and_image_count(doc, tmp_path):
    pages = [Image.new("L", (16, 8), v) for v in (10, 120, 240)]
    path = tmp_path / "three.tif"
    pages[0].save(path, save_all=True, append_images=pages[1:])
    assert doc.ImageCount(str(path)) == 3
    doc.AddPage(0)
    doc.ImageReadNumber = 2
    placed(doc, doc.AddImageFile(str(path)))
    assert extracted(doc, tmp_path).getpixel((0, 0)) == (120, 120, 120)
    doc.ImageReadNumber = 4
    with pytest.raises(pagelith.com_error) as caught:
        doc.AddImageFile(str(path))
    assert caught.value.description == "TIFF file error - cannot find requested page"


def render(doc, tmp_path, name):
    """The first page rendered at 72 dpi as an RGB picture."""
    pdf = tmp_path / (name + ".pdf")
    doc.SaveToFile(str(pdf))
    qpdf_check(pdf)
    result = run_tool("pdftoppm", "-r", "72", "-png", "-singlefile", str(pdf), str(tmp_path / name))
    assert result.returncode == 0, result.stderr
    return Image.open(str(tmp_path / name) + ".png").convert("RGB")


@pytest.mark.parametrize("photometric", ["min-is-white", "min-is-black"])
def test_group4_passed_through_renders_as_decoded(doc, tmp_path, photometric):
    bw = Image.new("1", (64, 32), 1)
    ImageDraw.Draw(bw).rectangle([8, 8, 40, 24], fill=0)
    path = tmp_path / "g4.tif"
    bw.save(path, compression="group4")
    if photometric == "min-is-white":
        run_tool("tiffset", "-s", "262", "0", str(path))
        # the same pixels as stored bits now mean the opposite: invert the expectation
        bw = Image.eval(bw.convert("L"), lambda v: 255 - v).convert("1")
    doc.AddPage(0)
    r = doc.AddImageFile(str(path))
    placed(doc, r)
    page = render(doc, tmp_path, photometric).convert("L")
    # Away from the rectangle's edges, where a renderer may round a pixel either way.
    for point in ((2, 2), (60, 28), (20, 16), (30, 12)):
        assert (page.getpixel(point) > 127) == (bw.getpixel(point) != 0), point
    assert extracted(doc, tmp_path, photometric + "-image").convert("1").tobytes() == bw.tobytes()


def test_two_dimensional_t4_decodes_to_libtiffs_pixels(doc, tmp_path):
    bw = Image.new("1", (300, 120), 1)
    ImageDraw.Draw(bw).text((10, 10), "two-dimensional T.4", fill=0)
    ImageDraw.Draw(bw).ellipse([150, 30, 290, 110], fill=0)
    bw.save(tmp_path / "bw.tif")
    run_tool("tiffcp", "-c", "g3:2d", "-r", "40", str(tmp_path / "bw.tif"), str(tmp_path / "g3.tif"))
    run_tool("tiffcp", "-c", "none", str(tmp_path / "g3.tif"), str(tmp_path / "libtiff.tif"))
    placed(doc, doc.AddImageFile(str(tmp_path / "g3.tif")))
    assert extracted(doc, tmp_path).convert("1").tobytes() == Image.open(tmp_path / "libtiff.tif").tobytes()


def test_one_bit_picture_with_white_first_keeps_its_colours(doc, tmp_path):
    bw = Image.new("P", (32, 16), 0)
    bw.putpalette([255, 255, 255, 0, 0, 0])
    ImageDraw.Draw(bw).rectangle([4, 4, 12, 12], fill=1)
    path = tmp_path / "white-first.bmp"
    bw.save(path, bits=1)
    doc.AddPage(0)
    placed(doc, doc.AddImageFile(str(path)))
    page = render(doc, tmp_path, "white-first").crop((0, 0, 32, 16))
    assert page.getpixel((0, 0)) == (255, 255, 255)
    assert page.getpixel((8, 8)) == (0, 0, 0)


def test_cmyk_jpeg_passed_through_renders_like_its_decode(doc, tmp_path):
    picture = Image.new("RGB", (48, 32), (255, 255, 255))
    ImageDraw.Draw(picture).rectangle([8, 8, 40, 24], fill=(0, 90, 200))
    path = tmp_path / "cmyk.jpg"
    picture.convert("CMYK").save(path, quality=95)
    doc.AddPage(0)
    placed(doc, doc.AddImageFile(str(path)))
    page = render(doc, tmp_path, "cmyk").crop((0, 0, 48, 32))
    # Renderers convert CMYK their own way; inverted data would show a dark margin and an orange box.
    assert min(page.getpixel((2, 2))) >= 220
    red, green, blue = page.getpixel((24, 16))
    assert blue > green > red and blue >= 120 and red <= 80


@pytest.mark.parametrize("content, message", [
    (b"", None),
    (b"\x00", None),
    (b"XYZW not a picture", "File is not a supported image format"),
    (b"\x89PNG\r\n\x1a\n\x00\x00", None),
    (b"II*\x00\x08\x00\x00\x00\x00\x00", None),
    (b"\xff\xd8\xff\xe0garbage", None),
    (b"GIF89a\x01", None),
    (b"BM\x00\x00", None),
])
def test_bad_pictures_fail_cleanly_and_add_nothing(doc, tmp_path, content, message):
    path = tmp_path / "bad.bin"
    path.write_bytes(content)
    for add in (lambda: doc.AddImageFile(str(path)), lambda: doc.AddImageBytes(content)):
        with pytest.raises(pagelith.com_error) as caught:
            add()
        assert caught.value.description
        if message:
            assert caught.value.description == message
    assert doc.CreateGraphic() == 1  # nothing was added before it


def test_image_queries(doc, tmp_path):
    picture = Image.new("RGB", (720, 10), (1, 2, 3))
    path = tmp_path / "wide.png"
    picture.save(path, dpi=(144, 144))
    r = doc.AddImageFile(str(path))
    assert doc.ImageWidth(r) == 720  # PNG resolutions are not taken over: 72 dpi
    t = doc.CreateText()
    assert doc.ImageWidth(t) == 0 and doc.ImageWidth(0) == 0
    with pytest.raises(pagelith.com_error) as caught:
        doc.ImageCount(str(tmp_path / "missing.tif"))
    assert caught.value.description == "File not found: " + str(tmp_path / "missing.tif")
    (tmp_path / "text.txt").write_bytes(b"hello")
    with pytest.raises(pagelith.com_error) as caught:
        doc.ImageCount(str(tmp_path / "text.txt"))
    assert caught.value.description == "File is not a supported graphics format"


def drawn(doc, tmp_path, size):
    """The document saved and checked, its first page drawn by mutool at a pixel a point (pdftoppm draws
    pictures about a pixel off): the top-left corner of this size as an RGB array."""
    doc.SaveToFile(str(tmp_path / "drawn.pdf"))
    qpdf_check(tmp_path / "drawn.pdf")
    result = run_tool("mutool", "draw", "-q", "-r", "72", "-o", str(tmp_path / "drawn.png"), str(tmp_path / "drawn.pdf"))
    assert result.returncode == 0, result.stderr
    return np.asarray(Image.open(tmp_path / "drawn.png").convert("RGB").crop((0, 0) + size), dtype=float)


def psnr(got, want):
    error = np.mean((got - np.asarray(want.convert("RGB"), dtype=float)) ** 2)
    return np.inf if error == 0 else 10 * np.log10(255 ** 2 / error)


def test_kept_alpha_shows_what_lies_beneath(tmp_path):
    logo = samples()["rgba"]  # every level of alpha
    logo.save(tmp_path / "logo.png")
    for keep in (False, True):
        d = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
        d.KeepAlpha = keep
        d.AddPage(0)
        d.CreateGraphic()
        d.FillColor = d.LineColor = 255  # red
        d.Rectangle(0, 0, 595, 842)
        d.ApplyResource(1, 1)
        placed(d, d.AddImageFile(str(tmp_path / "logo.png")))
        page = drawn(d, tmp_path, logo.size)
        assert (tmp_path / "drawn.pdf").read_bytes()[:8] == (b"%PDF-1.4" if keep else b"%PDF-1.2")
    assert psnr(page, Image.alpha_composite(Image.new("RGBA", logo.size, (255, 0, 0, 255)), logo)) >= 45


# ImageOrientation places a picture as Pillow shows it: a JPEG by its Exif orientation, a TIFF by its tag.
@pytest.mark.parametrize("kind, orientation, enabled", [("jpg", o, True) for o in range(1, 9)] +
                         [("tif", 6, True), ("jpg", 6, False), ("tif", 6, False)])
def test_oriented_pictures_render_as_shown(doc, tmp_path, kind, orientation, enabled):
    path, exif = tmp_path / ("picture." + kind), Image.Exif()
    exif[0x0112] = orientation
    samples()["rgb"].save(path, quality=95, exif=exif.tobytes())
    if kind == "tif":  # Pillow turns a TIFF by its tag as it opens it
        assert run_tool("tiffset", "-s", "274", str(orientation), str(path)).returncode == 0
        shown = Image.open(path).convert("RGB") if enabled else samples()["rgb"]
    else:
        shown = ImageOps.exif_transpose(Image.open(path)) if enabled else Image.open(path)
    doc.ImageOrientation = enabled
    doc.CompressionRGB = 0  # decoded TIFF samples stay exact
    r = placed(doc, doc.AddImageFile(str(path)))
    assert (doc.ImageWidth(r), doc.ImageHeight(r)) == shown.size
    assert psnr(drawn(doc, tmp_path, shown.size), shown) >= (np.inf if kind == "tif" else 40)
