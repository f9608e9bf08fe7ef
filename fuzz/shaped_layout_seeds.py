#!/usr/bin/env python3
"""Writes seeds for the shaped layout fuzz target into a folder: a header of five setting bytes (max
width, flags, size, features, extra), then text bytes, where 0xFF writes a string, 0xFE takes a raw
UTF-16 unit and 0xFD changes a setting; other bytes pick table entries, so runs of them cover every
script the table has.

    shaped_layout_seeds.py FOLDER
"""
import os
import sys

WRITE, RAW, SETTING = 0xFF, 0xFE, 0xFD


def strings(first, last, every):
    out = bytearray()
    for b in range(first, last):
        out.append(b)
        if b % every == every - 1:
            out.append(WRITE)
    return bytes(out)


SEEDS = {
    # No wrapping, 12 pt, every entry once.
    "plain": bytes([0, 0, 11, 0, 0]) + strings(0, SETTING, 16),
    # 1 pt lines with fallbacks: every cluster overflows.
    "narrow": bytes([1, 0x20, 11, 0, 0]) + strings(0, SETTING, 8),
    # Right to left, appended, rotated, scaled.
    "rtl": bytes([40, 0x76, 15, 1, 0x81]) + strings(30, 140, 5),
    # A size of 0, features, subsetting, settings changed between strings, lone surrogates.
    "odd": bytes([120, 0xA5, 40, 2, 4]) + strings(0, 40, 4) + bytes([SETTING, 0x0B, RAW, 0x00, 0xD8])
    + strings(40, 120, 6) + bytes([SETTING, 0x02, RAW, 0x3D, 0xD8, WRITE, SETTING, 0x0D]) + strings(120, 200, 3),
    # A standard font first, then a TrueType one in the same block.
    "standard": bytes([200, 0x13, 9, 0, 7]) + strings(0, 60, 10) + bytes([SETTING, 0x00]) + strings(60, 180, 10),
}


def main(folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
