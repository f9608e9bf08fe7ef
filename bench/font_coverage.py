#!/usr/bin/env python3
"""Loads every face of every font file of the named Debian packages through LoadFont and prints how
many load and why the others are refused.

    PYTHONPATH=build/python bench/font_coverage.py fonts-noto-core fonts-noto-cjk ...
"""
import collections
import subprocess
import sys

import pagelith

FONT_SUFFIXES = (".ttf", ".otf", ".ttc", ".otc", ".pfb", ".pfa", ".t1", ".woff", ".woff2")


def files_of(package):
    listing = subprocess.run(["dpkg", "-L", package], capture_output=True, text=True, check=True).stdout
    return sorted(p for p in listing.split("\n") if p.lower().endswith(FONT_SUFFIXES))


def faces(path):
    with open(path, "rb") as f:
        head = f.read(12)
    return int.from_bytes(head[8:12], "big") if head[:4] == b"ttcf" else 1


def main(packages):
    print("| package | files | faces | loaded | refused |\n|---|---|---|---|---|")
    refusals = collections.Counter()
    for package in packages:
        files, count, loaded = files_of(package), 0, 0
        for path in files:
            for face in range(faces(path)):
                count += 1
                doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
                try:
                    doc.LoadFont(path, face)
                    loaded += 1
                except pagelith.com_error as error:
                    refusals[(package, error.description)] += 1
        print(f"| {package} | {len(files)} | {count} | {loaded} | {count - loaded} |")
    for (package, message), n in sorted(refusals.items()):
        print(f"- {package}: {n} × {message}")


if __name__ == "__main__":
    main(sys.argv[1:])
