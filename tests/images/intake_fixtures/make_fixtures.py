"""Makes the small picture files of the intake tests, each with its expected pixels (NAME.rgb: raw
red-green-blue bytes, row 0 first). Run from this folder: python3 make_fixtures.py"""
import io
import struct
import subprocess

from PIL import Image


def save_rgb(name, image):
    with open(name + ".rgb", "wb") as f:
        f.write(image.convert("RGB").tobytes())


def bilevel():
    image = Image.new("1", (64, 40), 1)
    for y in range(40):
        for x in range(64):
            if (x // 5 + y // 4) % 3 == 0 or (x - 32) ** 2 + (y - 20) ** 2 < 90:
                image.putpixel((x, y), 0)
    return image


def colour(width, height):
    image = Image.new("RGB", (width, height))
    for y in range(height):
        for x in range(width):
            image.putpixel((x, y), (x * 50 % 256, y * 60 % 256, (x * y * 23) % 256))
    return image


def bmp24(name, image, x_ppm, y_ppm):
    """A bottom-up 24-bit BMP with the given resolution fields."""
    w, h = image.size
    stride = (3 * w + 3) // 4 * 4
    rows = b""
    for y in reversed(range(h)):
        row = b"".join(bytes(image.getpixel((x, y))[::-1]) for x in range(w))
        rows += row.ljust(stride, b"\0")
    header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), x_ppm, y_ppm, 0, 0)
    data = b"BM" + struct.pack("<IHHI", 14 + 40 + len(rows), 0, 0, 54) + header + rows
    with open(name, "wb") as f:
        f.write(data)
    save_rgb(name, image)


def jpeg_with_density(name, image, units, x, y):
    out = io.BytesIO()
    image.save(out, "JPEG", quality=95, dpi=(72, 72))
    data = bytearray(out.getvalue())
    assert data[6:11] == b"JFIF\0"
    data[13] = units
    data[14:18] = struct.pack(">HH", x, y)
    with open(name, "wb") as f:
        f.write(data)


def main():
    bmp24("bmp_3780_0.bmp", colour(5, 3), 3780, 0)

    photo = colour(16, 8)
    jpeg_with_density("jpeg_300_0.jpg", photo, 1, 300, 0)
    jpeg_with_density("jpeg_no_density.jpg", photo, 0, 1, 1)
    Image.open("jpeg_300_0.jpg").save("jpeg_300_0.jpg.png")  # not used by tests; Pillow's decode for eyes
    save_rgb("jpeg_300_0.jpg", Image.open("jpeg_300_0.jpg"))
    # The same coefficients arithmetic-coded (libjpeg-turbo-progs), which PDF readers need not decode.
    subprocess.run(["jpegtran", "-arithmetic", "-copy", "all", "-outfile", "jpeg_arithmetic.jpg", "jpeg_300_0.jpg"],
                   check=True)

    png = colour(5, 4)
    png.save("png_named.jpg", "PNG")
    save_rgb("png_named.jpg", png)

    rgba = Image.new("RGBA", (4, 1))
    rgba.putdata([(0, 0, 0, 128), (200, 200, 200, 64), (10, 20, 30, 0), (10, 20, 30, 255)])
    rgba.save("rgba.png")

    page1, page2 = colour(6, 2), colour(3, 7)
    page1.save("two_pages.tif", save_all=True, append_images=[page2], compression="raw")
    save_rgb("two_pages.tif", page2)

    bits = bilevel()
    bits.save("bilevel.png")
    save_rgb("g4", bits)
    # Min-is-white (photometric 0) and min-is-black (photometric 1), one strip each; and two strips.
    subprocess.run(["convert", "bilevel.png", "-type", "bilevel", "-define", "quantum:polarity=min-is-white",
                    "-compress", "Group4", "g4_white.tif"], check=True)
    subprocess.run(["convert", "bilevel.png", "-type", "bilevel", "-define", "quantum:polarity=min-is-black",
                    "-compress", "Group4", "g4_black.tif"], check=True)
    subprocess.run(["tiffcp", "-r", "24", "-c", "g4", "g4_white.tif", "g4_strips.tif"], check=True)
    for name in ("g4_white.tif", "g4_black.tif", "g4_strips.tif"):
        assert Image.open(name).convert("RGB").tobytes() == bits.convert("RGB").tobytes(), name
    import os
    os.remove("bilevel.png")
    os.remove("jpeg_300_0.jpg.png")


if __name__ == "__main__":
    main()
