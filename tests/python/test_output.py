"""The three output channels: file, byte array and web response."""

import threading

import pytest
from conftest import PROGID, mask_creation_date, qpdf_check, simple_document

import pagelith
import pagelith.wsgi

CHUNK = 65536


def test_save_to_file_adds_pdf_extension(doc, tmp_path):
    simple_document(doc)
    doc.SaveToFile(str(tmp_path / "report"))
    doc.SaveToFile(str(tmp_path / "report.txt"))
    doc.SaveToFile(str(tmp_path / "UPPER.PDF"))
    (tmp_path / "dir.old").mkdir()
    doc.SaveToFile(str(tmp_path / "dir.old" / "doc"))
    names = sorted(p.name for p in tmp_path.iterdir() if p.is_file())
    assert names == ["UPPER.PDF", "report.pdf", "report.txt.pdf"]
    assert [p.name for p in (tmp_path / "dir.old").iterdir()] == ["doc.pdf"]


def test_save_without_pages_creates_nothing(doc, tmp_path):
    doc.SaveToFile(str(tmp_path / "empty.pdf"))
    assert not (tmp_path / "empty.pdf").exists()
    assert doc.StreamData().startswith(b"%PDF-1.2")  # the byte array is still produced


def test_save_into_missing_folder_fails(doc, tmp_path):
    simple_document(doc)
    target = str(tmp_path / "no" / "such" / "doc.pdf")
    with pytest.raises(pagelith.com_error) as caught:
        doc.SaveToFile(target)
    assert caught.value.description.startswith('Cannot create file "%s". ' % target)
    assert caught.value.source == PROGID


def test_stream_data_equals_file(doc, tmp_path):
    simple_document(doc, pages=3)
    doc.Title = "Channels"
    doc.SaveToFile(str(tmp_path / "out.pdf"))
    data = doc.StreamData()
    assert type(data) is bytes
    assert data.startswith(b"%PDF-1.2") and b"\n" not in data[:20]
    assert mask_creation_date(data) == mask_creation_date((tmp_path / "out.pdf").read_bytes())
    assert mask_creation_date(doc.StreamData()) == mask_creation_date(data)  # output changes nothing
    qpdf_check(tmp_path / "out.pdf")


def test_stream_data_raw_array_bounds(doc):
    simple_document(doc)
    raw = pagelith.invoke_raw(doc, "StreamData", pagelith.DISPATCH_METHOD)
    assert raw.vt == 0x2011
    lower_bound, data = raw.value  # elements 1 to n
    assert lower_bound == 1
    assert data.startswith(b"%PDF") and len(data) == len(doc.StreamData())


def test_binary_write_outside_a_request_fails(doc):
    simple_document(doc)
    with pytest.raises(pagelith.com_error) as caught:
        doc.BinaryWrite()
    assert caught.value.hresult < 0
    assert caught.value.source == PROGID


def test_binary_write_headers_and_chunks(doc):
    simple_document(doc)
    doc.StreamInline = 0
    doc.StreamFileName = "invoice.pdf"
    with pagelith.wsgi.ResponseContext() as response:
        doc.BinaryWrite()
    expected = doc.StreamData()
    size = len(response.body)
    assert response.events == [
        ("ContentType", "application/pdf"),
        ("AddHeader", "Content-Disposition", 'attachment; filename="invoice.pdf"'),
        ("AddHeader", "Content-Length", str(size)),
        ("BinaryWrite", size), ("Flush",),
    ]
    assert response.headers == [("Content-Type", "application/pdf"),
                                ("Content-Disposition", 'attachment; filename="invoice.pdf"'),
                                ("Content-Length", str(size))]
    assert mask_creation_date(response.body) == mask_creation_date(expected)
    # After the request the response is gone again.
    with pytest.raises(pagelith.com_error):
        doc.BinaryWrite()


@pytest.mark.parametrize("inline,name,disposition", [
    (-1, "", "inline"), (1, "", "inline"), (0, "", "attachment"), (5, "a b.pdf", 'inline; filename="a b.pdf"'),
])
def test_binary_write_dispositions(doc, inline, name, disposition):
    simple_document(doc)
    doc.StreamInline = pagelith.Variant(pagelith.VT_BOOL, inline)
    doc.StreamFileName = name
    with pagelith.wsgi.ResponseContext() as response:
        doc.BinaryWrite()
    assert response.events[1] == ("AddHeader", "Content-Disposition", disposition)


def padded_document(total):
    """A document of exactly `total` bytes: a long title fills up the size."""
    doc = pagelith.Dispatch(PROGID)
    simple_document(doc, pages=40)
    length = 1
    for _ in range(5):  # offsets in the cross-reference trailer may gain a digit: converge
        doc.Title = "x" * length
        size = len(doc.StreamData())
        if size == total:
            return doc
        length += total - size
        assert length > 0
    raise AssertionError("no title length gives %d bytes" % total)


@pytest.mark.parametrize("total", [2 * CHUNK, 2 * CHUNK + 18928])
def test_binary_write_sends_chunks_of_64k(total):
    doc = padded_document(total)
    with pagelith.wsgi.ResponseContext() as response:
        doc.BinaryWrite()
    writes = [event for event in response.events[3:]]
    full, rest = divmod(total, CHUNK)
    expected = []
    for length in [CHUNK] * full + [rest]:  # the last chunk is sent even when empty
        expected += [("BinaryWrite", length), ("Flush",)]
    assert writes == expected
    assert response.chunks[-1] == (b"" if rest == 0 else response.chunks[-1])
    assert len(response.body) == total
    assert response.events[2] == ("AddHeader", "Content-Length", str(total))


def test_failing_response_call_reaches_the_script(doc):
    simple_document(doc)

    class Refusing(pagelith.wsgi.ResponseContext):
        def add_header(self, name, value):
            super().add_header(name, value)
            if name == "Content-Length":
                raise pagelith.wsgi.ResponseError(0x80004005, "Header refused")

    with Refusing() as response:
        with pytest.raises(pagelith.com_error) as caught:
            doc.BinaryWrite()
    assert caught.value.hresult == -2147467259
    assert caught.value.description == "Header refused"
    assert not any(event[0] == "BinaryWrite" for event in response.events)  # stopped at once


def test_contexts_belong_to_their_thread(doc):
    simple_document(doc)
    outcome = {}

    def other_thread():
        other = pagelith.Dispatch(PROGID)
        simple_document(other)
        try:
            other.BinaryWrite()
            outcome["error"] = None
        except pagelith.com_error as error:
            outcome["error"] = error

    with pagelith.wsgi.ResponseContext() as response:
        worker = threading.Thread(target=other_thread)
        worker.start()
        worker.join(30)
        doc.BinaryWrite()
    assert outcome["error"] is not None
    assert response.events[0] == ("ContentType", "application/pdf")


def test_nested_contexts_restore_the_outer_one(doc):
    simple_document(doc)
    with pagelith.wsgi.ResponseContext() as outer:
        with pagelith.wsgi.ResponseContext() as inner:
            doc.BinaryWrite()
        doc.BinaryWrite()
    assert len(inner.body) == len(outer.body) > 0


def test_response_object_is_released(doc):
    simple_document(doc)
    from pagelith import _response
    before = len(_response._live)
    with pagelith.wsgi.ResponseContext():
        doc.BinaryWrite()
    assert len(_response._live) == before


# Document information strings, read back by a PDF library as the text that was set.
INFO_STRINGS = [
    ("ascii", "Quarterly report 2024"),
    ("latin-1", "Caf\u00e9 cr\u00e8me \u00e0 la fa\u00e7on d'\u00c5se \u00f1 \u00fc \u00df \u00ff"),
    ("cp1252 punctuation", "Total 100 \u20ac \u2013 \u201cfinal\u201d \u2014 \u2018q\u2019 \u2022 \u2026"),
    ("greek", "\u0391\u03b8\u03ae\u03bd\u03b1 \u03ba\u03b1\u03b9 \u03a0\u03b5\u03b9\u03c1\u03b1\u03b9\u03ac\u03c2"),
    ("cjk", "\u4e2d\u6587\u6587\u6863 \u65e5\u672c\u8a9e \ud55c\uad6d\uc5b4"),
    ("emoji", "Smile \U0001F600 and \U0001F680"),
    ("delimiters", "a(b)c\\d ((x) \\\\ )( \\"),
    ("utf-16 delimiters", "\u0128\u015c\u010d\u010a \u20ac(\u4e2d)\\"),
    ("line ends", "one\rtwo\nthree"),
]


@pytest.mark.parametrize("name,text", INFO_STRINGS, ids=[n for n, _ in INFO_STRINGS])
def test_information_strings_round_trip(doc, tmp_path, name, text):
    pikepdf = pytest.importorskip("pikepdf")
    simple_document(doc)
    doc.Title = text
    doc.Subject = text[::-1]
    doc.Author = text + text
    doc.Keywords = "k " + text
    path = tmp_path / "info.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    with pikepdf.open(path) as pdf:
        info = {key: str(value) for key, value in pdf.docinfo.items()}
    assert info["/Title"] == text
    assert info["/Subject"] == text[::-1]
    assert info["/Author"] == text + text
    assert info["/Keywords"] == "k " + text
    assert info["/Producer"] == "Tessarine PagelithASP 2.3"


def test_empty_information_strings_are_left_out(doc, tmp_path):
    pikepdf = pytest.importorskip("pikepdf")
    simple_document(doc)
    doc.Title = "set"
    doc.Title = ""
    path = tmp_path / "info.pdf"
    doc.SaveToFile(str(path))
    qpdf_check(path)
    with pikepdf.open(path) as pdf:
        assert sorted(pdf.docinfo.keys()) == ["/CreationDate", "/Producer"]
