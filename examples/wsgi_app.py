"""A web page that answers every request with a PDF, streamed through BinaryWrite.

    PYTHONPATH=build/python python3 examples/wsgi_app.py 8080     # then open http://127.0.0.1:8080/

The query chooses how the browser takes it: `?download=1` offers it as a download instead of showing it,
`name=...` is the file name it is offered under (hello.pdf by default). Port 0 picks a free port; the
first line printed says which. Any other WSGI server can serve `application`:

    PYTHONPATH=build/python gunicorn --chdir examples -w 2 wsgi_app:application
"""

import sys
from typing import Any
from urllib.parse import parse_qs

import pagelith
import pagelith.wsgi
from pagelith import constants as c


@pagelith.wsgi.application
def application(environ: dict[str, Any], response: object) -> None:
    query = parse_qs(environ.get("QUERY_STRING", ""))
    doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
    doc.AddPage(0)
    doc.CreateText()
    doc.TextFont = c.HELVETICA_BOLD
    doc.TextSize = 24
    doc.WriteText("Hello from " + (environ.get("PATH_INFO") or "/"))
    doc.Locate(1, doc.ApplyResource(1, 1), 72, 770)
    doc.StreamFileName = query.get("name", ["hello.pdf"])[0]
    doc.StreamInline = query.get("download", ["0"])[0] != "1"
    doc.BinaryWrite()


def main(argv: list[str]) -> None:
    import waitress  # only here, so that other servers can import the application without it

    port = int(argv[1]) if len(argv) > 1 else 8080
    # Writing the document releases the GIL, so requests on threads build in parallel; the backlog holds a burst of
    # clients that a small one would drop (they would then wait for the kernel's SYN retries).
    server: Any = waitress.create_server(application, host="127.0.0.1", port=port, threads=8, backlog=1024)
    print("serving on http://127.0.0.1:%s/" % server.effective_port, flush=True)
    server.run()


if __name__ == "__main__":
    main(sys.argv)
