"""The batch example on a local cluster of two worker processes."""

import io
import os
import sys

import pytest
from conftest import qpdf_check, run_tool

distributed = pytest.importorskip("distributed", reason="python3-distributed is not installed")
pikepdf = pytest.importorskip("pikepdf")

# Workers are spawned with this process's sys.path, so they import the example's modules too.
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
import batch_invoices  # noqa: E402

COUNT = 200
SAMPLE = (1, 2, 100, 199, 200)


@pytest.fixture(scope="module")
def client():
    with batch_invoices.local_cluster(2) as cluster, distributed.Client(cluster) as client:
        yield client


def test_invoices_come_back_as_bytes(client):
    pdfs = batch_invoices.run(client, range(1, COUNT + 1))
    assert len(pdfs) == COUNT
    for number, pdf in enumerate(pdfs, 1):
        with pikepdf.open(io.BytesIO(pdf)) as doc:
            assert (len(doc.pages), str(doc.docinfo["/Title"])) == (2, "Invoice %d" % number)


def test_invoices_written_by_the_workers(client, tmp_path):
    paths = batch_invoices.run(client, SAMPLE, str(tmp_path))
    assert paths == [str(tmp_path / ("invoice-%06d.pdf" % number)) for number in SAMPLE]
    for number, path in zip(SAMPLE, paths):
        qpdf_check(path)
        assert "Invoice No. %d\n" % number in run_tool("pdftotext", path, "-", text=True).stdout


def test_workers_keep_the_adaptive_malloc(client):
    """Dask's trim threshold would make glibc map and unmap each large buffer of a document anew."""
    assert list(client.run(os.environ.get, "MALLOC_TRIM_THRESHOLD_").values()) == [None, None]
