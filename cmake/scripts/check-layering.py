#!/usr/bin/env python3
"""Keeps the include graph of src/ pointing one way.

Each top folder of src/ has a layer; a file may include headers of its own folder and of folders in
lower layers only. Folders that share a layer may not include each other. Prints every dependency
that points the wrong way and the figures, and exits 1 when there is one.

    check-layering.py [SRC_DIR] [--verbose]
"""

import pathlib
import re
import sys

# Highest first. Platform services serve the automation object and the output channels; the portable
# core below them never includes a platform header.
LAYERS = [
    ["automation"],
    ["output"],
    ["platform"],
    ["pdf"],
    ["document"],
    ["text"],
    ["drawing", "fonts", "images"],
    ["base"],
]
RANK = {folder: len(LAYERS) - i for i, layer in enumerate(LAYERS) for folder in layer}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".inc"}


def folder_of(relative):
    return relative.parts[0] if len(relative.parts) > 1 else None


def main(argv):
    verbose = "--verbose" in argv
    args = [a for a in argv if not a.startswith("--")]
    src = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parents[2] / "src")
    edges = {}  # (from, to) -> [file: include]
    unknown = set()
    files = 0
    includes = 0
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(src)
        source = folder_of(relative)
        if source is None:
            continue
        files += 1
        for target in INCLUDE.findall(path.read_text(errors="replace")):
            to = folder_of(pathlib.PurePosixPath(target))
            if to is None or not (src / target).exists():
                continue  # generated or system-relative header
            includes += 1
            for folder in (source, to):
                if folder not in RANK:
                    unknown.add(folder)
            if to != source:
                edges.setdefault((source, to), []).append(f"{relative}: {target}")

    upward = {e: where for e, where in edges.items()
              if e[0] in RANK and e[1] in RANK and RANK[e[1]] >= RANK[e[0]]}
    for (source, to), where in sorted(upward.items()):
        print(f"upward: {source}/ -> {to}/ ({len(where)} include{'s' if len(where) != 1 else ''})")
        for line in where:
            print(f"    {line}")
    if verbose:
        for (source, to), where in sorted(edges.items()):
            if (source, to) not in upward:
                print(f"ok: {source}/ -> {to}/ ({len(where)})")
    for folder in sorted(unknown):
        print(f"unknown folder: {folder}/ (give it a layer in {pathlib.Path(__file__).name})")
    lines = sum(len(w) for w in upward.values())
    print(f"{files} files, {includes} project includes, {len(edges)} folder dependencies, "
          f"{len(upward)} upward ({lines} include lines)")
    return 1 if upward or unknown else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
