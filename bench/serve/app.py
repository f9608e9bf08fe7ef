"""The serving benchmark's WSGI application: each request builds a two-page invoice.

    /pagelith/<n>    the invoice of examples/invoice.py, built by pagelith
    /reportlab/<n>   the same invoice built by ReportLab: DejaVu Sans, the same logo, 40 lines, a link

Serve it with any WSGI server, for instance
    PYTHONPATH=build/python python3 -m waitress --port 18100 --threads 16 --call bench.serve.app:create
"""

import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "examples"))

import invoice  # noqa: E402  (examples/invoice.py)

_reportlab_fonts = False


def _register_reportlab_fonts():
    """DejaVu registered once per process, as ReportLab programs do."""
    global _reportlab_fonts
    if _reportlab_fonts:
        return
    from reportlab.pdfbase import pdfmetrics
    from reportlab.pdfbase.ttfonts import TTFont

    pdfmetrics.registerFont(TTFont("DejaVu", invoice.FONT))
    pdfmetrics.registerFont(TTFont("DejaVu-Bold", invoice.BOLD))
    _reportlab_fonts = True


def reportlab_invoice(number):
    """The same invoice as invoice.build_invoice(number), built with ReportLab."""
    import io

    from reportlab.pdfgen import canvas

    _register_reportlab_fonts()
    out = io.BytesIO()
    c = canvas.Canvas(out, pagesize=(595, 842), pageCompression=1)
    c.setTitle(f"Invoice {number}")
    items = invoice.line_items(number)
    pages = [items[:invoice.ROWS_ON_FIRST_PAGE], items[invoice.ROWS_ON_FIRST_PAGE:]]
    for page, rows in enumerate(pages, 1):
        top = 700 if page == 1 else 800
        if page == 1:
            c.drawImage(invoice.LOGO, 50, 800 - 48, mask="auto")
            c.setFont("DejaVu-Bold", 18)
            c.drawString(300, 800 - 18, f"Invoice No. {number}")
            c.setFont("DejaVu", 10)
            c.drawString(300, 800 - 32, "Pagelith Example Ltd · 1 Rue de l'Exemple · Zürich")
            c.setFillColorRGB(0, 0, 1)
            c.drawString(300, 800 - 44, "Pay online")
            width = c.stringWidth("Pay online", "DejaVu", 10)
            c.linkURL(f"https://example.com/pay/{number}", (300, 800 - 47, 300 + width, 800 - 34))
            c.setFillColorRGB(0, 0, 0)
        c.setStrokeColorRGB(0.5, 0.5, 0.5)
        c.line(50, top + 3, 545, top + 3)
        c.setFont("DejaVu", 10)
        for i, (description, quantity, price) in enumerate(rows):
            y = top - 10 - 12 * i
            c.drawString(50, y, description)
            c.drawRightString(400, y, str(quantity))
            c.drawRightString(470, y, invoice.money(price))
            c.drawRightString(545, y, invoice.money(quantity * price))
        if page == 2:
            total = sum(q * p for _, q, p in items)
            c.setFont("DejaVu-Bold", 10)
            c.drawRightString(545, top - 12 * len(rows) - 30, f"Total {invoice.money(total)}")
        c.showPage()
    c.save()
    return out.getvalue()


BUILDERS = {"pagelith": invoice.build_invoice, "reportlab": reportlab_invoice}


def application(environ, start_response):
    parts = environ.get("PATH_INFO", "/").strip("/").split("/")
    build = BUILDERS.get(parts[0])
    if build is None:
        start_response("404 Not Found", [("Content-Type", "text/plain")])
        return [b"/pagelith/<n> or /reportlab/<n>\n"]
    number = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 1
    body = bytes(build(number))
    start_response("200 OK", [("Content-Type", "application/pdf"), ("Content-Length", str(len(body)))])
    return [body]


def create():
    """For servers that take an application factory (waitress --call)."""
    return application
