#!/usr/bin/env python3
"""Builds N invoices on a Dask cluster: one task per invoice, each building its own document in a worker.

    PYTHONPATH=build/python python3 examples/batch_invoices.py 1000 --output build/invoices
    PYTHONPATH=build/python python3 examples/batch_invoices.py 1000 --scheduler tcp://host:8786 --output /srv/out

Each worker imports pagelith and this folder's invoice module (which finds its logo beside itself), so both
must be on the workers' PYTHONPATH. Without --scheduler it starts a cluster of --workers processes on this
machine. Without --output the PDFs come back to this program as bytes; with it each worker writes
invoice-<number>.pdf into that folder (which must be shared by every machine of a real cluster). Prints how
many invoices a second the cluster built.
"""

import argparse
import os
import sys
import time
from collections.abc import Iterable
from typing import Any, Optional

from dask.distributed import Client, LocalCluster

import invoice


def build(number: int, output: Optional[str] = None) -> bytes | str:
    """Runs in a worker: invoice `number` as bytes, or the path of the file it was written to."""
    pdf = invoice.build_invoice(number)
    if output is None:
        return pdf
    path = os.path.join(output, "invoice-%06d.pdf" % number)
    with open(path, "wb") as f:
        f.write(pdf)
    return path


def run(client: Client, numbers: Iterable[int], output: Optional[str] = None) -> list[Any]:
    """Results in the order of `numbers`."""
    results: list[Any] = client.gather(client.map(build, numbers, output=output))
    return results


def dask_setup(nanny: Any) -> None:
    """Run by each nanny before it starts its worker (`dask worker --preload-nanny batch_invoices.py`)."""
    # Dask gives workers MALLOC_TRIM_THRESHOLD_; any value turns off glibc's adaptive mmap threshold, so each
    # large buffer of a document is mapped and unmapped anew, which makes a worker 3 to 4 times slower.
    for env in (nanny.pre_spawn_env, nanny.env):
        env.pop("MALLOC_TRIM_THRESHOLD_", None)


def local_cluster(workers: int) -> LocalCluster:
    # Document objects never leave the process that made them, so one thread per process is enough.
    return LocalCluster(n_workers=workers, processes=True, threads_per_worker=1, dashboard_address=None,
                        preload_nanny=[os.path.abspath(__file__)])


def main(argv: list[str]) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("count", type=int, help="number of invoices")
    parser.add_argument("--scheduler", help="address of a running scheduler, e.g. tcp://host:8786")
    parser.add_argument("--workers", type=int, default=os.cpu_count(), help="local worker processes")
    parser.add_argument("--output", help="folder the workers write the PDFs into")
    args = parser.parse_args(argv[1:])
    if args.output:
        os.makedirs(args.output, exist_ok=True)
        args.output = os.path.abspath(args.output)

    cluster = None if args.scheduler else local_cluster(args.workers)
    with Client(args.scheduler or cluster) as client:
        client.submit(build, 0).result()  # workers ready and warm before the clock starts
        start = time.perf_counter()
        results = run(client, range(1, args.count + 1), args.output)
        seconds = time.perf_counter() - start
    if cluster is not None:
        cluster.close()
    size = sum(os.path.getsize(r) for r in results) if args.output else sum(len(r) for r in results)
    print("%d invoices (%d bytes) in %.2f s: %.1f invoices/s" % (len(results), size, seconds, len(results) / seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
