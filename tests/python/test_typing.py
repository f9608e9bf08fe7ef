"""The package's type stubs: the examples pass mypy --strict, and a wrong member, argument or value does not."""

import os
import shutil
import subprocess

import pytest
from conftest import tool_env

import pagelith

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

MISTAKES = '''
import pathlib
import pagelith
doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
doc.SaveToFile(pathlib.Path("out.pdf"))
doc.SetPageWidth(1, 200)
doc.AddPages(0)
doc.TextSize = "big"
doc.TextBlockHeight = 3.0
width: str = doc.PageWidth(1)
'''


@pytest.mark.skipif(shutil.which("mypy") is None, reason="mypy is not installed")
def test_examples_pass_mypy_strict(tmp_path):
    (tmp_path / "mistakes.py").write_text(MISTAKES)
    env = dict(tool_env(), MYPYPATH=os.path.dirname(os.path.dirname(pagelith.__file__)))
    result = subprocess.run(["mypy", "--strict", "--cache-dir", str(tmp_path / "cache"), "examples/",
                             str(tmp_path / "mistakes.py")], cwd=ROOT, env=env, capture_output=True, text=True,
                            timeout=600)
    errors = [line.split(": error: ")[0].replace(str(tmp_path), "") for line in result.stdout.splitlines()
              if ": error: " in line]
    assert errors == ["/mistakes.py:%d" % line for line in (7, 8, 9, 10)], result.stdout
