"""ImageOrientation: a JPEG's Exif orientation and a TIFF's Orientation tag decide how the picture is
placed. Each page, rendered by mutool, must show what Pillow shows for the file."""


import numpy as np
import pytest
from PIL import Image, ImageDraw, ImageOps

from conftest import qpdf_check, run_tool


def stored_picture():
    """Smooth, so JPEG keeps it close, and unlike itself under every turn and mirror."""
    x = np.linspace(0, 255, 48)[None, :, None]
    y = np.linspace(0, 255, 32)[:, None, None]
    pixels = np.concatenate([np.broadcast_to(x, (32, 48, 1)), np.broadcast_to(y, (32, 48, 1)),
                             np.full((32, 48, 1), 90.0)], axis=2)
    picture = Image.fromarray(pixels.astype(np.uint8), "RGB")
    ImageDraw.Draw(picture).rectangle([0, 0, 15, 15], fill=(250, 250, 40))
    return picture


def psnr(a, b):
    error = np.mean((np.asarray(a, dtype=np.float64) - np.asarray(b, dtype=np.float64)) ** 2)
    return float("inf") if error == 0 else 10 * np.log10(255 ** 2 / error)


def oriented_file(tmp_path, kind, orientation):
    """The file, and the picture as Pillow shows it."""
    if kind == "jpeg":
        path = tmp_path / ("o%d.jpg" % orientation)
        exif = Image.Exif()
        exif[0x0112] = orientation
        stored_picture().save(path, quality=95, exif=exif)
        return path, ImageOps.exif_transpose(Image.open(path)).convert("RGB")
    path = tmp_path / "o6.tif"
    stored_picture().save(path)
    assert run_tool("tiffset", "-s", "274", str(orientation), str(path)).returncode == 0
    return path, Image.open(path).convert("RGB")  # Pillow turns a TIFF by its tag as it loads it


@pytest.mark.parametrize("kind, orientation, enabled", [("jpeg", o, True) for o in range(1, 9)] +
                         [("tiff", 6, True), ("jpeg", 6, False), ("tiff", 6, False)])
def test_oriented_pictures_render_as_shown(doc, tmp_path, kind, orientation, enabled):
    path, shown = oriented_file(tmp_path, kind, orientation)
    if not enabled:
        shown = stored_picture() if kind == "tiff" else Image.open(path).convert("RGB")
    doc.ImageOrientation = enabled
    doc.UseSourceCompression = True
    doc.CompressionRGB = 0  # decoded TIFF samples stay exact
    doc.AddPage(0)
    r = doc.AddImageFile(str(path))
    assert (doc.ImageWidth(r), doc.ImageHeight(r)) == shown.size
    doc.ApplyResource(1, r)
    pdf = tmp_path / "oriented.pdf"
    doc.SaveToFile(str(pdf))
    qpdf_check(pdf)
    page = tmp_path / "page.png"
    result = run_tool("mutool", "draw", "-q", "-r", "72", "-o", str(page), str(pdf), "1")
    assert result.returncode == 0, result.stderr
    drawn = Image.open(page).convert("RGB").crop((0, 0) + shown.size)
    if kind == "tiff":
        assert drawn.tobytes() == shown.tobytes()
    else:
        assert psnr(drawn, shown) >= 40
