"""Peak memory of one text block of 5 million short lines, saved through StreamData.

    PYTHONPATH=build/python /usr/bin/time -v /usr/bin/python3 bench/large_text.py OUT.pdf [LINES]

Prints nothing; read "Maximum resident set size" from time -v. Two builds' files differ only in
/CreationDate (same length), so they compare with cmp once it is masked, e.g.
    sed 's|/CreationDate (D:[0-9Z]*)||' A.pdf | cmp - <(sed 's|/CreationDate (D:[0-9Z]*)||' B.pdf)
"""

import sys

import pagelith

out = sys.argv[1]
lines = int(sys.argv[2]) if len(sys.argv) > 2 else 5_000_000
doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
doc.AddPage(0)
t = doc.CreateText()
# 10 MB: a digit and a line feed per line, made without a list of lines.
digits = "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n"
doc.WriteText((digits * (lines // 10 + 1))[: 2 * lines - 1])
doc.Locate(1, doc.ApplyResource(1, t), 56, 800)
data = doc.StreamData()
with open(out, "wb") as f:
    f.write(bytes(data))
