"""Shared helpers of the Python tests: a new document per test and the external PDF tools."""

import os
import re
import json
import subprocess

import pytest

import pagelith

PROGID = "PagelithASP.PDFSvrDoc"
CREATION_DATE = re.compile(rb"/CreationDate \(D:\d{14}Z\)")


def tool_env():
    """Environment for external programs: without the sanitizer runtime the tests may preload."""
    env = dict(os.environ)
    for name in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS"):
        env.pop(name, None)
    return env


def run_tool(*args, **kwargs):
    kwargs.setdefault("capture_output", True)
    kwargs.setdefault("timeout", 60)
    return subprocess.run(list(args), env=tool_env(), **kwargs)


def hb_shape(font_path, text, face=0, features="", direction=""):
    """HarfBuzz's own shaping of a line, in font units: [{"g", "cl", "dx", "dy", "ax", "ay"}, ...]."""
    args = ["hb-shape", "--output-format=json", "--no-glyph-names", "--face-index=%d" % face]
    if features:
        args.append("--features=" + features)
    if direction:
        args.append("--direction=" + direction)
    result = run_tool(*args, font_path, text, text=True)
    assert result.returncode == 0, result.stderr
    return json.loads(result.stdout)


def qpdf_check(path):
    """Asserts that qpdf --check exits 0 and reports no warning."""
    result = run_tool("qpdf", "--check", str(path), text=True)
    output = result.stdout + result.stderr
    assert result.returncode == 0, output
    assert "WARNING" not in output, output
    assert "No syntax or stream encoding errors found" in result.stdout, output


def mask_creation_date(pdf):
    """The file with its creation date's digits zeroed (same length, so offsets stay valid)."""
    return CREATION_DATE.sub(b"/CreationDate (D:00000000000000Z)", pdf)


def rgb(red, green, blue):
    return red | green << 8 | blue << 16


@pytest.fixture
def doc():
    return pagelith.Dispatch(PROGID)


def simple_document(doc, pages=1):
    """A small document with a graphic on every page."""
    for _ in range(pages):
        doc.AddPage(0)
    graphic = doc.CreateGraphic()
    doc.FillColor = rgb(200, 30, 30)
    doc.Rectangle(100, 100, 300, 200)
    doc.DrawLine(50, 50, 500, 700)
    for page in range(1, pages + 1):
        doc.ApplyResource(page, graphic)
    return doc
