"""Runs the shared scenario through the Linux build's Python module and saves the PDF.

Usage: scenario_linux.py SCENARIO OUTPUT.pdf FONT.ttf IMAGE_DIR OPENTYPE.otf CJK.ttf (with PYTHONPATH naming
the build's python folder).
"""
import os
import sys

import pagelith


def main():
    scenario, output, font_file, image_dir, otf_file, cjk_file = sys.argv[1:7]
    with open(scenario, encoding="ascii") as f:
        # The scenario's "\u00e9" escapes mean the same in Python as in JScript.
        code = f.read()
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    names = {"d": doc, "fontFile": font_file, "imageDir": image_dir + os.sep, "otfFile": otf_file,
             "cjkFile": cjk_file}
    exec(compile(code, scenario, "exec"), names)
    doc.SaveToFile(output)


if __name__ == "__main__":
    main()
