"""Cost of one member call from Python, in microseconds: a put, a get, a method without and with an argument.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_calls.py [--ctypes]

--ctypes makes every call through ctypes alone, as without the _fastcall extension.
"""

import sys
import time

import pagelith

if "--ctypes" in sys.argv:
    pagelith.library().fast = None


def per_call(label, count, body):
    body(count // 10)  # warm up
    start = time.perf_counter()
    body(count)
    print("%-24s %6.2f us" % (label, (time.perf_counter() - start) / count * 1e6))


def main():
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.AddPage(0)

    def put(n):
        for _ in range(n):
            doc.TextSize = 10

    def get(n):
        for _ in range(n):
            doc.TextSize

    def create(n):
        for _ in range(n):
            doc.CreateText()

    def write(n):
        for _ in range(n):
            doc.WriteText("hello")

    per_call("doc.TextSize = 10", 20000, put)
    per_call("doc.TextSize", 20000, get)
    per_call("doc.CreateText()", 20000, create)
    per_call('doc.WriteText("hello")', 2000, write)


main()
