"""A web page that answers every request with a PDF, streamed through BinaryWrite.

    PYTHONPATH=build/python python3 examples/wsgi_app.py 8080     # then open http://127.0.0.1:8080/
"""

import sys
from typing import Any
from wsgiref.simple_server import make_server

import pagelith
import pagelith.wsgi
from pagelith import constants as c


@pagelith.wsgi.application
def app(environ: dict[str, Any], response: object) -> None:
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.AddPage(0)
    doc.CreateText()
    doc.TextFont = c.HELVETICA_BOLD
    doc.TextSize = 24
    doc.WriteText("Hello from " + (environ.get("PATH_INFO") or "/"))
    doc.Locate(1, doc.ApplyResource(1, 1), 72, 770)
    doc.StreamFileName = "hello.pdf"
    doc.StreamInline = True  # shown in the browser rather than downloaded
    doc.BinaryWrite()


if __name__ == "__main__":
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 8080
    with make_server("127.0.0.1", port, app) as server:
        print("serving on http://127.0.0.1:%d/" % port)
        server.serve_forever()
