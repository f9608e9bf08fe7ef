#!/usr/bin/python3
"""Prints what a viewer navigates by, read through pikepdf: each outline entry as
"outline|level|title|page|top|count", each link as "link|page|target page|top" (or the URI),
then the catalog's page mode and the page it opens at."""
import sys

import pikepdf


def place(dest, pages, names):
    if isinstance(dest, pikepdf.Name):
        dest = names[str(dest)[1:]]
    return f"{pages[dest[0].objgen]}|{dest[3]}"


with pikepdf.open(sys.argv[1]) as pdf:
    pages = {page.obj.objgen: n for n, page in enumerate(pdf.pages, 1)}
    root = pdf.Root
    names = {str(k)[1:]: v for k, v in root.Dests.items()} if "/Dests" in root else {}
    with pdf.open_outline() as outline:
        def walk(items, level):
            for item in items:
                dest = place(item.destination, pages, names) if item.destination is not None else "-|-"
                count = item.obj.get("/Count", 0)
                print(f"outline|{level}|{item.title}|{dest}|{count}")
                walk(item.children, level + 1)
        walk(outline.root, 0)
    for n, page in enumerate(pdf.pages, 1):
        for annot in page.obj.get("/Annots", []):
            action = annot.A
            target = place(action.D, pages, names) if action.S == "/GoTo" else str(action.URI)
            print(f"link|{n}|{target}")
    print(f"mode|{root.get('/PageMode', '-')}|{place(root.OpenAction, pages, names) if '/OpenAction' in root else '-'}")
