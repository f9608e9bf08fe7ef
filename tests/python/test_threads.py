"""One object shared by two Python threads (the library call releases the interpreter lock, so the calls
really overlap): every call must see the document whole, and the object must still save afterwards."""

import threading

import pagelith
from conftest import PROGID, qpdf_check

ROUNDS = 60

PROPERTIES = {  # property: value to put
    "CurrentGraphic": 1, "CurrentText": 2, "LineWidth": 2, "TextColor": 0xFF, "LineColor": 0xFF00,
    "FillColor": 0xFF0000, "CompressionBW": 1, "CompressionIndexed": 2, "CompressionRGB": 2,
    "CompressionGray": 2, "UseSourceCompression": True, "TextFont": 5, "TextSize": 12, "ImageReadNumber": 1,
    "ReleaseBMPHandle": True, "DefaultPageSize": 1, "Units": 0, "StreamFileName": "a.pdf",
    "StreamInline": True, "Title": "t\r(x)", "Subject": "s", "Author": "a", "Keywords": "k",
    "TextLineSpacing": 20.0, "TextAlign": 1, "TextMaxWidth": 200.0, "TextSkewX": 5.0, "TextSkewY": 0.0,
    "TextUnderline": True, "LinkStandardFormat": True, "LinkColor": 0xFF, "LinkFont": 15,
    "LinkUnderline": True, "LinkSize": 11, "LinkBorder": False, "MergeAlpha": False,
    "MergeAlphaColor": 0xFFFFFF, "AppendText": False,
}


def every_member(doc, folder, seed):
    """Each member of the interface once, in a fixed order; failures of single calls do not matter."""
    missing = str(folder / ("missing%d.png" % seed))
    calls = [
        ("AddPage", 0), ("CreateText",), ("WriteText", "line one\r\nline two"), ("WriteLink", "l", "http://x/"),
        ("ApplyResource", 1, 2), ("ScaleObject", 1, 1, 50.0), ("Locate", 1, 1, 10.0, 20.0),
        ("Rotate", 1, 1, 0.0), ("CreateGraphic",), ("DrawLine", 1.0, 2.0, 3.0, 4.0),
        ("Rectangle", 1.0, 2.0, 3.0, 4.0), ("Ellipse", 5.0, 5.0, 2.0, 1.0, 0.0), ("Circle", 5.0, 5.0, 2.0),
        ("ApplyResource", 1, 1), ("SetImageLink", 1, 1, "http://i/"), ("TextLineWidth", "abc"), ("PageSize", 1), ("PageWidth", 1), ("PageHeight", 1),
        ("SetPageSize", 1, 2), ("SetPageWidth", 1, 600.0), ("SetPageHeight", 1, 800.0), ("ImageWidth", 1),
        ("ImageHeight", 1), ("EmbedFont", 15), ("SetEmbedFont", 15, True), ("SetFontOffset", 15, 0),
        ("AddFont", missing), ("AddImageFile", missing), ("ImageCount", missing),
        ("AddImageBytes", b"\x89PNG"), ("AddImageBMPHandle", 0), ("StreamData",), ("BinaryWrite",),
        ("SaveToFile", str(folder / ("saved%d.pdf" % seed))), ("DeleteAllPages",), ("AddPage", 0),
        ("Clear",), ("AddPage", 0),
    ]
    for name, *args in calls:
        try:
            getattr(doc, name)(*args)
        except pagelith.com_error:
            pass
    doc.TextBlockHeight, doc.TextBlockWidth
    for name, value in PROPERTIES.items():
        getattr(doc, name)
        try:
            setattr(doc, name, value)
        except pagelith.com_error:
            pass


def run_pair(first, second):
    errors = []

    def guarded(work):
        try:
            work()
        except BaseException as error:  # reported by the test below
            errors.append(error)

    threads = [threading.Thread(target=guarded, args=(work,)) for work in (first, second)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(300)
    assert not any(thread.is_alive() for thread in threads)
    assert errors == []


def assert_whole(pdf):
    assert pdf[:8] == b"%PDF-1.2" and pdf.endswith(b"%%EOF\r")


def test_clear_fill_and_stream_from_two_threads():
    doc = pagelith.Dispatch(PROGID)
    done = threading.Event()

    def fill():
        for _ in range(ROUNDS):
            doc.Clear()
            for _ in range(3):
                doc.AddPage(0)
            doc.CreateText()
            doc.WriteText("Some text (with parentheses)\r\nand a second line " * 20)
            doc.ApplyResource(1, 1)
        done.set()

    def stream():
        count = 0
        while not done.is_set() or count < 5:
            assert_whole(doc.StreamData())
            count += 1

    run_pair(fill, stream)


def test_every_member_from_two_threads(tmp_path):
    doc = pagelith.Dispatch(PROGID)
    run_pair(lambda: [every_member(doc, tmp_path, 1) for _ in range(8)],
             lambda: [every_member(doc, tmp_path, 2) for _ in range(8)])
    doc.AddPage(0)
    pdf = doc.StreamData()
    assert_whole(pdf)
    (tmp_path / "after.pdf").write_bytes(pdf)
    qpdf_check(tmp_path / "after.pdf")
    for seed in (1, 2):
        saved = tmp_path / ("saved%d.pdf" % seed)
        if saved.exists():
            qpdf_check(saved)
