"""Graphics drawn through the module, rendered by a real reader and checked pixel by pixel."""

import os

import pytest
from conftest import qpdf_check, rgb, run_tool

WHITE = (255, 255, 255)
RED = (255, 0, 0)
GREEN = (0, 160, 0)
BLUE = (0, 0, 255)
YELLOW = (255, 255, 0)
GREY = (128, 128, 128)


def read_ppm(path):
    """(width, height, pixel function) of a binary 8-bit PPM."""
    data = path.read_bytes()
    fields = []
    position = 0
    while len(fields) < 4:  # magic, width, height, maximum
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    assert fields[0] == b"P6" and fields[3] == b"255"
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position + 1:]
    assert len(pixels) == width * height * 3

    def pixel(x, y):
        offset = (y * width + x) * 3
        return tuple(pixels[offset:offset + 3])

    return width, height, pixel


def read_pgm(path):
    """(width, height, pixel function) of a binary 8-bit PGM; a pixel is a 1-tuple."""
    data = path.read_bytes()
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    assert fields[0] == b"P5" and fields[3] == b"255"
    width, height = int(fields[1]), int(fields[2])
    pixels = data[position + 1:]
    assert len(pixels) == width * height
    return width, height, lambda x, y: (pixels[y * width + x],) * 3


def render(pdf_path, tmp_path):
    stem = tmp_path / "page"
    result = run_tool("pdftoppm", "-r", "72", "-f", "1", "-l", "1", "-singlefile", str(pdf_path),
                      str(stem))
    assert result.returncode == 0, result.stderr
    return read_ppm(tmp_path / "page.ppm")


def close_to(actual, expected, tolerance=3):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def test_filled_shapes_render_in_their_colours(doc, tmp_path):
    doc.AddPage(0)  # A4: 595 x 842 points, one pixel per point at 72 dpi
    graphic = doc.CreateGraphic()
    doc.LineColor = rgb(*GREY)
    doc.FillColor = rgb(*RED)
    doc.Rectangle(150, 150, 50, 50)  # corners in any order
    doc.FillColor = rgb(*GREEN)
    doc.Rectangle(200, 600, 300, 700)
    doc.FillColor = rgb(*BLUE)
    doc.Circle(400, 300, 50)
    doc.FillColor = rgb(*YELLOW)
    doc.Ellipse(150, 400, 80, 20, 90)  # turned upright: tall and narrow
    doc.Units = 1  # inches
    doc.FillColor = rgb(*RED)
    doc.Rectangle(6, 1, 7, 2)  # 432..504 x 72..144 points
    doc.Units = 0
    placement = doc.ApplyResource(1, graphic)
    doc.Locate(1, placement, 300, 300)  # a graphic stays where it was drawn
    doc.ScaleObject(1, placement, 200)
    unplaced = doc.CreateGraphic()
    doc.FillColor = rgb(*BLUE)
    doc.Rectangle(450, 650, 550, 750)
    assert unplaced == graphic + 1

    path = tmp_path / "shapes.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    width, height, pixel = render(path, tmp_path)
    assert (width, height) == (595, 842)

    def at(x, y):  # page coordinates, y upwards
        return pixel(x, height - y)

    expectations = [
        ((100, 100), RED), ((60, 60), RED), ((140, 140), RED),
        ((250, 650), GREEN), ((205, 695), GREEN),
        ((400, 300), BLUE), ((400, 340), BLUE), ((435, 300), BLUE),
        ((150, 400), YELLOW), ((150, 470), YELLOW), ((150, 330), YELLOW),
        ((468, 108), RED),
        # outside every shape
        ((10, 10), WHITE), ((160, 100), WHITE), ((400, 360), WHITE), ((460, 300), WHITE),
        ((185, 400), WHITE), ((150, 490), WHITE), ((500, 700), WHITE), ((580, 830), WHITE),
        ((520, 108), WHITE),
    ]
    wrong = [(point, at(*point), colour) for point, colour in expectations if not close_to(at(*point), colour)]
    assert wrong == []
    # the outline is stroked in grey around the red square
    assert close_to(at(50, 100), GREY, 40)


@pytest.mark.parametrize("width", [1, 6])
def test_line_width_and_colour(doc, tmp_path, width):
    doc.AddPage(0)
    doc.CreateGraphic()
    doc.LineWidth = width
    doc.LineColor = rgb(*BLUE)
    doc.DrawLine(100, 400.5, 500, 400.5)
    doc.ApplyResource(1, 1)
    path = tmp_path / "line.pdf"
    doc.SaveToFile(str(path))
    _, height, pixel = render(path, tmp_path)
    row = height - 401  # the pixel row the line runs through
    assert close_to(pixel(300, row), BLUE, 10)
    assert close_to(pixel(50, row), WHITE)
    far = row - 2  # two pixels off the centre: inside a 6 point line only
    assert close_to(pixel(300, far), BLUE if width == 6 else WHITE, 10)


DEJAVU = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


def dark_run(pixel, height, x, y, scale):
    """Thickness in points of the dark run through page point (x, y), at `scale` pixels per point."""
    column = round(x * scale)
    centre = round((height / scale - y) * scale)

    def dark(row):
        return 0 <= row < height and sum(pixel(column, row)) < 450

    assert dark(centre), "nothing drawn at (%s, %s)" % (x, y)
    top = bottom = centre
    while dark(top - 1):
        top -= 1
    while dark(bottom + 1):
        bottom += 1
    return (bottom - top + 1) / scale


@pytest.mark.skipif(not os.path.exists(DEJAVU), reason="the Debian fonts are not installed")
def test_line_width_stays_inside_its_graphic(doc, tmp_path):
    """A wide line in one graphic once made every later graphic and the underline bars as wide."""
    doc.AddPage(0)
    for width, y in ((8, 700), (None, 600), (1, 500)):
        doc.ApplyResource(1, doc.CreateGraphic())
        if width is not None:
            doc.LineWidth = width
        doc.DrawLine(100, y, 500, y)
    font = doc.AddFont(DEJAVU)
    text = doc.CreateText()
    doc.TextFont = font
    doc.TextSize = 20
    doc.TextUnderline = True
    doc.WriteText("UNDERLINED HEADING")
    index = doc.ApplyResource(1, text)
    doc.Locate(1, index, 100, 400)  # baseline at 380, bar from 377 to 378
    path = tmp_path / "widths.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    stem = tmp_path / "widths"
    result = run_tool("pdftoppm", "-r", "144", "-gray", "-singlefile", str(path), str(stem))
    assert result.returncode == 0, result.stderr
    _, height, pixel = read_pgm(tmp_path / "widths.pgm")
    widths = {y: dark_run(pixel, height, 300, y, 2) for y in (700, 600, 500, 377.5)}
    assert 7.5 <= widths[700] <= 9, widths
    assert widths[600] <= 1.5 and widths[500] <= 1.5, widths
    assert widths[377.5] <= 2.5, widths  # one point of bar and a one point outline
