from collections.abc import Callable
from typing import Any

from _typeshed.wsgi import StartResponse, WSGIApplication, WSGIEnvironment

__all__ = ["application", "ResponseContext", "ResponseError"]

HEADERS_SENT_MESSAGE: str

class ResponseError(Exception):
    hresult: int
    description: str
    def __init__(self, hresult: int, description: str) -> None: ...

class _Headers:
    status: str
    headers: list[tuple[str, str]]

class _StreamedResponse(_Headers):
    """What a script given to application() answers through: set `status` before the first chunk."""
    environ: WSGIEnvironment

class ResponseContext(_Headers):
    events: list[tuple[Any, ...]]
    chunks: list[bytes]
    def __init__(self, start_response: StartResponse | None = ..., status: str = ...) -> None: ...
    def __enter__(self) -> ResponseContext: ...
    def __exit__(self, *exc: object) -> bool: ...
    @property
    def body(self) -> bytes: ...
    def finish(self) -> list[bytes]: ...

def application(
        script: Callable[[WSGIEnvironment, _StreamedResponse], str | bytes | None]) -> WSGIApplication: ...
