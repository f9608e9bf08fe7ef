#!/usr/bin/env bash
# install_test.sh BUILD_DIR SOURCE_DIR: cmake --install into a prefix, pip install into a venv, and
# make a PDF with each from a directory that has nothing to do with the tree.
set -euo pipefail
build=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset PYTHONPATH

sample='
import os, sys, pagelith
from pagelith import constants as c
doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
doc.AddPage(0)
doc.CreateText(); doc.TextFont = c.HELVETICA; doc.WriteText("installed")
doc.ApplyResource(1, 1)
doc.SaveToFile(sys.argv[1])
assert pagelith.library().fast is not None, "the _fastcall extension did not come along"
print(os.path.dirname(pagelith.__file__))
'

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/lib/libpagelith.a"
test -f "$work/prefix/lib/libpagelithasp.so"
test -f "$work/prefix/include/pagelith/document/pagelith.h"
mkdir "$work/elsewhere" && cd "$work/elsewhere"
where=$(PYTHONPATH="$work/prefix/lib/python3/dist-packages" /usr/bin/python3 -c "$sample" "$work/prefix.pdf")
[[ $where == "$work/prefix/lib/python3/dist-packages/pagelith" ]] || { echo "imported from $where"; exit 1; }
qpdf --check "$work/prefix.pdf" >/dev/null
# Editors and type checkers find the members: the stubs and the marker travel with the package.
for file in py.typed __init__.pyi _document.pyi wsgi.pyi; do test -f "$where/$file"; done

/usr/bin/python3 -m venv "$work/venv"
PAGELITH_WHEEL_PACKAGE_DIR="$build/python/pagelith" "$work/venv/bin/pip" install --no-index --quiet \
    --disable-pip-version-check "$source"
where=$("$work/venv/bin/python" -c "$sample" "$work/venv.pdf")
[[ $where == "$work/venv/lib/"python3*/site-packages/pagelith ]] || { echo "imported from $where"; exit 1; }
qpdf --check "$work/venv.pdf" >/dev/null
for file in py.typed __init__.pyi _document.pyi wsgi.pyi; do test -f "$where/$file"; done
echo "install: prefix and virtual environment both import and write a PDF"
