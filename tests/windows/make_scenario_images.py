"""Writes the small pictures the cross-platform scenario adds (run once; the outputs are committed).

    /usr/bin/python3 tests/windows/make_scenario_images.py tests/windows/images
"""
import os
import sys

from PIL import Image, ImageDraw


def picture(size=(96, 64)):
    image = Image.new("RGB", size, (250, 250, 245))
    draw = ImageDraw.Draw(image)
    for i in range(0, size[0], 8):
        draw.line([(i, 0), (size[0] - 1 - i, size[1] - 1)], fill=(i * 2 % 256, 80, 200 - i))
    draw.ellipse([10, 10, 50, 50], fill=(200, 30, 30))
    draw.rectangle([60, 20, 90, 60], fill=(20, 160, 60))
    return image


def main(out):
    os.makedirs(out, exist_ok=True)
    rgb = picture()
    rgb.save(os.path.join(out, "photo.png"))
    rgb.save(os.path.join(out, "photo.jpg"), quality=85, dpi=(150, 150))
    rgb.save(os.path.join(out, "dib.bmp"))
    rgb.quantize(16).save(os.path.join(out, "anim.gif"))
    rgb.quantize(256).save(os.path.join(out, "pic.pcx"))
    bw = rgb.convert("L").point(lambda v: 255 if v > 160 else 0).convert("1")
    bw.save(os.path.join(out, "g4.tif"), compression="group4", dpi=(200, 200))
    # Stored sideways, shown upright: EXIF orientation 6 turns it a quarter clockwise.
    exif = Image.Exif()
    exif[0x0112] = 6
    rgb.transpose(Image.Transpose.ROTATE_90).save(os.path.join(out, "oriented.jpg"), quality=85, exif=exif)
    logo = Image.new("RGBA", (64, 64), (0, 0, 0, 0))
    draw = ImageDraw.Draw(logo)
    draw.ellipse([4, 4, 60, 60], fill=(30, 60, 200, 255))
    draw.rectangle([20, 20, 44, 44], fill=(255, 220, 0, 128))
    logo.save(os.path.join(out, "logo.png"))


if __name__ == "__main__":
    main(sys.argv[1])
