#!/usr/bin/python3
"""Prints the link annotations of a PDF, one per line in page and /Annots
order: page number, URI, rectangle and border width, read through qpdf's JSON."""
import json
import subprocess
import sys

doc = json.loads(subprocess.run(["qpdf", "--json=2", "--json-key=qpdf", sys.argv[1]],
                                capture_output=True, check=False).stdout)
objects = doc["qpdf"][1]


def value(ref):
    return objects["obj:" + ref]["value"]


def kids(node):
    for ref in node.get("/Kids", []):
        kid = value(ref)
        if kid.get("/Type") == "/Pages":
            yield from kids(kid)
        else:
            yield kid


for number, page in enumerate(kids(value(value("1 0 R")["/Pages"])), 1):
    for ref in page.get("/Annots", []):
        a = value(ref)
        action = a["/A"]
        action = value(action) if isinstance(action, str) else action  # shared, indirect
        uri = action["/URI"]
        uri = uri[2:] if uri.startswith("u:") else uri
        rect = " ".join(str(v) for v in a["/Rect"])
        print(f"{number}|{uri}|{rect}|{a['/Border'][2]}")
