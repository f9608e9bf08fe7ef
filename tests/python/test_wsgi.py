"""BinaryWrite inside WSGI applications served by a real server and fetched with curl."""

import contextlib
import threading

import pytest
from conftest import PROGID, mask_creation_date, qpdf_check, run_tool, simple_document

import pagelith
import pagelith.wsgi

waitress_server = pytest.importorskip("waitress.server")

CHUNK = 65536


@contextlib.contextmanager
def serve(app):
    """Serves `app` on a free port of 127.0.0.1 for the duration of the block."""
    server = waitress_server.create_server(app, host="127.0.0.1", port=0, threads=2,
                                           clear_untrusted_proxy_headers=True)
    thread = threading.Thread(target=server.run, name="waitress", daemon=True)
    thread.start()
    try:
        yield "http://127.0.0.1:%s" % server.effective_port
    finally:
        server.close()
        server.task_dispatcher.shutdown(timeout=5)
        thread.join(10)


def fetch(url, tmp_path):
    """(status line, headers as a list of (lower-case name, value), body) of a GET with curl."""
    head, body = tmp_path / "head.txt", tmp_path / "body.bin"
    result = run_tool("curl", "-sS", "--max-time", "30", "-D", str(head), "-o", str(body), url, text=True)
    assert result.returncode == 0, result.stderr
    lines = head.read_bytes().decode("latin-1").split("\r\n")
    headers = []
    for line in lines[1:]:
        if line:
            name, _, value = line.partition(":")
            headers.append((name.strip().lower(), value.strip()))
    return lines[0], headers, body.read_bytes()


def header(headers, name):
    values = [value for key, value in headers if key == name]
    assert len(values) == 1, (name, headers)
    return values[0]


def large_document():
    """About three chunks of PDF, so the body is streamed in several pieces."""
    doc = pagelith.Dispatch(PROGID)
    simple_document(doc, pages=40)
    doc.Title = "t" * (2 * CHUNK + 1000)
    return doc


def test_streamed_application(tmp_path):
    seen = {}

    @pagelith.wsgi.application
    def app(environ, response):
        doc = large_document()
        doc.StreamInline = 0
        doc.StreamFileName = "report.pdf"
        doc.BinaryWrite()
        seen["expected"] = doc.StreamData()

    with serve(app) as url:
        status, headers, body = fetch(url + "/report", tmp_path)
    expected = seen["expected"]
    assert status.startswith("HTTP/1.1 200")
    assert header(headers, "content-type") == "application/pdf"
    assert header(headers, "content-disposition") == 'attachment; filename="report.pdf"'
    assert header(headers, "content-length") == str(len(expected))
    assert len(body) > 2 * CHUNK
    assert mask_creation_date(body) == mask_creation_date(expected)
    (tmp_path / "served.pdf").write_bytes(body)
    qpdf_check(tmp_path / "served.pdf")


def test_collected_application(tmp_path):
    seen = {}

    def app(environ, start_response):
        doc = pagelith.Dispatch(PROGID)
        simple_document(doc)
        with pagelith.wsgi.ResponseContext(start_response) as response:
            doc.BinaryWrite()
        seen["expected"] = doc.StreamData()
        return response.finish()

    with serve(app) as url:
        status, headers, body = fetch(url, tmp_path)
    assert status.startswith("HTTP/1.1 200")
    assert header(headers, "content-type") == "application/pdf"
    assert header(headers, "content-disposition") == "inline"
    assert header(headers, "content-length") == str(len(body))
    assert mask_creation_date(body) == mask_creation_date(seen["expected"])


def test_script_failure_before_output_gives_500(tmp_path):
    @pagelith.wsgi.application
    def app(environ, response):
        doc = pagelith.Dispatch(PROGID)
        doc.AddImageFile(str(tmp_path / "missing.png"))

    with serve(app) as url:
        status, headers, body = fetch(url, tmp_path)
    assert status.startswith("HTTP/1.1 500")
    assert body == b"Internal Server Error"


def test_script_status_and_returned_text(tmp_path):
    @pagelith.wsgi.application
    def app(environ, response):
        response.status = "404 Not Found"
        return "no document here"

    with serve(app) as url:
        status, headers, body = fetch(url, tmp_path)
    assert status.startswith("HTTP/1.1 404")
    assert body == b"no document here"


def test_closed_response_stops_the_script():
    outcome = {}
    done = threading.Event()

    @pagelith.wsgi.application
    def app(environ, response):
        doc = large_document()
        try:
            doc.BinaryWrite()
        except pagelith.com_error as error:
            outcome["error"] = error
        finally:
            done.set()

    started = []
    body = app({}, lambda status, headers, exc_info=None: started.append((status, headers)))
    chunks = iter(body)
    first = next(chunks)
    assert len(first) == CHUNK
    assert started and started[0][0] == "200 OK"
    body.close()  # the client went away
    assert done.wait(30)
    assert outcome["error"].hresult == -2147467260  # E_ABORT
    assert outcome["error"].description == "The client has disconnected."


def test_headers_are_frozen_by_the_first_chunk():
    @pagelith.wsgi.application
    def app(environ, response):
        doc = pagelith.Dispatch(PROGID)
        simple_document(doc)
        doc.BinaryWrite()
        doc.BinaryWrite()  # its headers come after the body has begun

    started = []
    body = app({"wsgi.errors": None}, lambda status, headers, exc_info=None: started.append(status))
    with pytest.raises(pagelith.com_error) as caught:
        list(body)
    assert "already written" in caught.value.description
    assert started == ["200 OK"]


def test_collected_response_refuses_a_second_binary_write(tmp_path):
    """Buffered, a second BinaryWrite would add a second Content-Length and cut the PDF: it fails instead."""
    seen = {}

    def app(environ, start_response):
        doc = pagelith.Dispatch(PROGID)
        simple_document(doc)
        with pagelith.wsgi.ResponseContext(start_response) as response:
            doc.BinaryWrite()
            try:
                doc.BinaryWrite()
            except pagelith.com_error as error:
                seen["error"] = error
        seen["expected"] = doc.StreamData()
        return response.finish()

    with serve(app) as url:
        status, headers, body = fetch(url, tmp_path)
    assert status.startswith("HTTP/1.1 200")
    assert seen["error"].hresult < 0
    assert "already written" in seen["error"].description
    assert header(headers, "content-length") == str(len(body))  # exactly one
    assert mask_creation_date(body) == mask_creation_date(seen["expected"])


@pytest.mark.parametrize("name,disposition", [
    # Only the last path component, with the exact name beside the code-page one when it is not ASCII.
    ("..\\reports\\r\u00e9sum\u00e9 \u20ac.pdf",
     'attachment; filename="r\u00e9sum\u00e9 \x80.pdf"; filename*=UTF-8\'\'r%C3%A9sum%C3%A9%20%E2%82%AC.pdf'),
    ("/srv/out/\u4e2d.pdf", 'attachment; filename="?.pdf"; filename*=UTF-8\'\'%E4%B8%AD.pdf'),
    # A trailing backslash would escape the closing quote.
    ("report\\", "attachment"),
    ('a\\b"c.pdf', 'attachment; filename="b_c.pdf"'),
    ("n" * 400 + ".pdf", 'attachment; filename="%s.pdf"' % ("n" * 196)),
])
def test_content_disposition_as_sent(tmp_path, name, disposition):
    @pagelith.wsgi.application
    def app(environ, response):
        doc = pagelith.Dispatch(PROGID)
        simple_document(doc)
        doc.StreamInline = 0
        doc.StreamFileName = name
        doc.BinaryWrite()

    with serve(app) as url:
        status, headers, body = fetch(url, tmp_path)
    assert status.startswith("HTTP/1.1 200")
    assert header(headers, "content-disposition") == disposition
    assert body.startswith(b"%PDF-1.2")
