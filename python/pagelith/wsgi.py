"""WSGI hosting for scripts that hand documents to the browser with `BinaryWrite`.

Streaming, one worker thread per request, the body sent as the document server flushes it:

    @pagelith.wsgi.application
    def app(environ, response):
        doc = pagelith.Dispatch("PagelithASP.PDFSvrDoc")
        doc.AddPage(0)
        doc.BinaryWrite()

Collected in memory, in the calling thread:

    def app(environ, start_response):
        with pagelith.wsgi.ResponseContext(start_response) as response:
            ...
            doc.BinaryWrite()
        return response.finish()

Outside both, `BinaryWrite` has no response to write to and fails.
"""

import functools
import queue
import sys
import threading
import traceback

from . import _com, _settings, library
from ._response import ComResponse, ResponseError

__all__ = ["application", "ResponseContext", "ResponseError"]

HEADERS_SENT_MESSAGE = ("The HTTP headers are already written to the client browser. "
                        "Any HTTP header modifications must be made before writing page content.")

_installed = threading.local()


def _install(response):
    """Makes `response` the calling thread's response object; returns a function that undoes it."""
    lib = library()
    if lib.set_object_context is None:
        raise RuntimeError("the server library does not export PagelithSetObjectContext")
    stack = getattr(_installed, "stack", None)
    if stack is None:
        stack = _installed.stack = []
    hr = lib.set_object_context(response.pointer)
    if hr < 0:
        raise _com.com_error(hr)
    stack.append(response)

    def uninstall():
        stack.remove(response)
        lib.set_object_context(stack[-1].pointer if stack else None)

    return uninstall


def _wire(text):
    """A header text as the bytes a Windows web server sends (its ANSI code page), in WSGI's latin-1 form."""
    return text.encode("cp1252", "replace").decode("latin-1")


class _Headers:
    """Status and headers of one response, in the order the script set them."""

    def __init__(self, status):
        self.status = status
        self.headers = []

    def _set_content_type(self, value):
        for i, (name, _) in enumerate(self.headers):
            if name.lower() == "content-type":
                self.headers[i] = ("Content-Type", _wire(value))
                return
        self.headers.append(("Content-Type", _wire(value)))

    def _add_header(self, name, value):
        self.headers.append((_wire(name), _wire(value)))


class ResponseContext(_Headers):
    """Collects one response in memory while installed (a `with` block) in the current thread.

    `events` records every call the server made: ("ContentType", text), ("AddHeader", name, value),
    ("BinaryWrite", byte count) and ("Flush",). `chunks` holds the body as flushed.

    The first flush fixes the headers, as in streaming mode: a later header (a second `BinaryWrite`
    with its own Content-Length, say) is refused, so the client never gets two lengths and a cut body.
    """

    def __init__(self, start_response=None, status="200 OK"):
        super().__init__(status)
        self.events = []
        self.chunks = []
        self._pending = []
        self._start_response = start_response
        self._uninstall = None
        self._flushed = False

    def __enter__(self):
        response = ComResponse(self, library())
        try:
            self._uninstall = _install(response)
        except BaseException:
            response.release()
            raise
        self._response = response
        return self

    def __exit__(self, *exc):
        self._uninstall()
        self._response.release()
        self._response = None
        return False

    @property
    def body(self):
        return b"".join(self.chunks) + b"".join(self._pending)

    def finish(self):
        """Starts the WSGI response and returns its body, the chunks as flushed."""
        if self._start_response is not None:
            self._start_response(self.status, list(self.headers))
        if self._pending:
            self.chunks.append(b"".join(self._pending))
            self._pending = []
        return list(self.chunks)

    # Response calls -------------------------------------------------------------------------

    def content_type(self, value):
        if self._flushed:
            raise ResponseError(_com.E_FAIL, HEADERS_SENT_MESSAGE)
        self.events.append(("ContentType", value))
        self._set_content_type(value)

    def add_header(self, name, value):
        if self._flushed:
            raise ResponseError(_com.E_FAIL, HEADERS_SENT_MESSAGE)
        self.events.append(("AddHeader", name, value))
        self._add_header(name, value)

    def binary_write(self, data):
        self.events.append(("BinaryWrite", len(data)))
        self._pending.append(data)

    def flush(self):
        self._flushed = True
        self.events.append(("Flush",))
        self.chunks.append(b"".join(self._pending))
        self._pending = []


class _StreamedResponse(_Headers):
    """Runs one script in a worker thread and hands its flushed chunks to the WSGI server.

    The queue holds one chunk, so the script runs at most one chunk ahead of the client. Headers are
    frozen by the first flush, as on a web server without buffering.
    """

    POLL = 0.1

    def __init__(self, script, environ, start_response):
        super().__init__("200 OK")
        self.environ = environ
        self._script = script
        self._start_response = start_response
        self._queue = queue.Queue(maxsize=1)
        self._closed = threading.Event()
        self._head_sent = False
        self._pending = []
        self._thread = threading.Thread(target=self._run, name="pagelith-response", daemon=True)
        self._thread.start()

    # Worker side --------------------------------------------------------------------------------

    def _run(self):
        try:
            response = ComResponse(self, library())
        except BaseException:
            self._put(("error", None, sys.exc_info()))
            return
        try:
            uninstall = _install(response)
            try:
                result = self._script(self.environ, self)
                if isinstance(result, str):
                    result = result.encode("utf-8")
                if result:
                    self._pending.append(bytes(result))
            finally:
                uninstall()
            self._put(("end", self._take_head(), b"".join(self._pending)))
        except BaseException:
            self._put(("error", self._head_sent, sys.exc_info()))
        finally:
            response.release()

    def _take_head(self):
        if self._head_sent:
            return None
        self._head_sent = True
        return self.status, list(self.headers)

    def _put(self, item):
        while not self._closed.is_set():
            try:
                self._queue.put(item, timeout=self.POLL)
                return True
            except queue.Full:
                pass
        return False

    def content_type(self, value):
        if self._head_sent:
            raise ResponseError(_com.E_FAIL, HEADERS_SENT_MESSAGE)
        self._set_content_type(value)

    def add_header(self, name, value):
        if self._head_sent:
            raise ResponseError(_com.E_FAIL, HEADERS_SENT_MESSAGE)
        self._add_header(name, value)

    def binary_write(self, data):
        if self._closed.is_set():
            raise ResponseError(_com.E_ABORT, "The client has disconnected.")
        self._pending.append(data)

    def flush(self):
        data = b"".join(self._pending)
        self._pending = []
        if not self._put(("chunk", self._take_head(), data)):
            raise ResponseError(_com.E_ABORT, "The client has disconnected.")

    # Server side --------------------------------------------------------------------------------

    def __iter__(self):
        while True:
            kind, head, payload = self._queue.get()
            if kind == "error":
                if head:  # the body has begun: all the server can do is drop the connection
                    raise payload[1].with_traceback(payload[2])
                traceback.print_exception(*payload, file=self.environ.get("wsgi.errors", sys.stderr))
                self._start_response("500 Internal Server Error", [("Content-Type", "text/plain")], payload)
                yield b"Internal Server Error"
                return
            if head is not None:
                self._start_response(*head)
            if kind == "end":
                if payload:
                    yield payload
                return
            yield payload

    def close(self):
        self._closed.set()
        try:
            while True:
                self._queue.get_nowait()
        except queue.Empty:
            pass


def application(script):
    """Turns `script(environ, response)` into a streaming WSGI application.

    The script runs in its own thread with a response object installed for its `BinaryWrite` calls.
    `response.status` may be set before the first chunk; a str or bytes the script returns is sent
    after whatever it wrote.
    """

    @functools.wraps(script)
    def wsgi_app(environ, start_response):
        return _StreamedResponse(script, environ, start_response)

    return wsgi_app
