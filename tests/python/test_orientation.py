"""ImageOrientation: a JPEG's Exif orientation or a TIFF's Orientation tag decides how the picture is
placed. Each page, rendered by mutool, shows what Pillow shows for the file."""

import numpy as np
import pytest
from PIL import Image, ImageDraw, ImageOps

from conftest import qpdf_check, run_tool


def stored_picture():
    """Smooth, so JPEG keeps it close, and unlike itself under every turn and mirror."""
    y, x = np.mgrid[0:32, 0:48]
    pixels = np.stack([x * 5, y * 8, np.full_like(x, 90)], axis=2).astype(np.uint8)
    picture = Image.fromarray(pixels, "RGB")
    ImageDraw.Draw(picture).rectangle([0, 0, 15, 15], fill=(250, 250, 40))
    return picture


@pytest.mark.parametrize("kind, orientation, enabled", [("jpg", o, True) for o in range(1, 9)] +
                         [("tif", 6, True), ("jpg", 6, False), ("tif", 6, False)])
def test_oriented_pictures_render_as_shown(doc, tmp_path, kind, orientation, enabled):
    path = tmp_path / ("picture." + kind)
    exif = Image.Exif()
    exif[0x0112] = orientation
    stored_picture().save(path, quality=95, exif=exif.tobytes())
    if kind == "tif":
        assert run_tool("tiffset", "-s", "274", str(orientation), str(path)).returncode == 0
        shown = Image.open(path).convert("RGB") if enabled else stored_picture()  # Pillow turns TIFFs on load
    else:
        shown = Image.open(path)
        shown = (ImageOps.exif_transpose(shown) if enabled else shown).convert("RGB")
    doc.ImageOrientation = enabled
    doc.CompressionRGB = 0  # decoded TIFF samples stay exact
    doc.AddPage(0)
    r = doc.AddImageFile(str(path))
    assert (doc.ImageWidth(r), doc.ImageHeight(r)) == shown.size
    doc.ApplyResource(1, r)
    doc.SaveToFile(str(tmp_path / "oriented.pdf"))
    qpdf_check(tmp_path / "oriented.pdf")
    page = tmp_path / "page.png"
    result = run_tool("mutool", "draw", "-q", "-r", "72", "-o", str(page), str(tmp_path / "oriented.pdf"), "1")
    assert result.returncode == 0, result.stderr
    drawn = np.asarray(Image.open(page).convert("RGB").crop((0, 0) + shown.size), dtype=np.float64)
    error = np.mean((drawn - np.asarray(shown, dtype=np.float64)) ** 2)
    assert error == 0 if kind == "tif" else error == 0 or 10 * np.log10(255 ** 2 / error) >= 40
