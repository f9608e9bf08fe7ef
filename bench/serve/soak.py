#!/usr/bin/env python3
"""Soak: wrk at concurrency 16 against waitress serving the pagelith invoice (each request the next
number), for 10 minutes.

    make soak                    # or: python3 bench/serve/soak.py
    SOAK_SECONDS=60 make soak    # shorter

Once a second the server's RSS, open descriptors and spool files (descriptors of deleted files, the
unnamed temporary files pictures wait in) go to a CSV (SOAK_CSV, build/soak.csv by default). The
summary gives errors, non-2xx answers, RSS growth after the first minute and the descriptor ranges.
Fails (exit 1) on any error, RSS growth over 5 % or a descriptor or spool count that rises.
"""

import csv
import os
import subprocess
import sys
import threading
import time

import run

WARM_UP = 60  # seconds before the RSS baseline


def sample(pid):
    """RSS in KiB, open descriptors, spool files and their bytes."""
    with open(f"/proc/{pid}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    fds = spools = spool_bytes = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
            fds += 1
            if target.endswith(" (deleted)") and target.startswith("/"):
                spools += 1
                spool_bytes += os.stat(f"/proc/{pid}/fd/{fd}").st_size
        except OSError:
            pass  # closed meanwhile
    return rss, fds, spools, spool_bytes


def main():
    duration = int(os.environ.get("SOAK_SECONDS", "600"))
    port = int(os.environ.get("SOAK_PORT", "18150"))
    path = os.environ.get("SOAK_CSV", os.path.join(run.ROOT, "build", "soak.csv"))
    os.environ.setdefault("SERVE_THREADS", "16")
    rows = []
    with run.serving("waitress", port) as server:
        result = {}
        load = threading.Thread(target=lambda: result.update(run.wrk(port, "/pagelith/", 16, duration)))
        start = time.monotonic()
        load.start()
        while load.is_alive():
            rows.append((round(time.monotonic() - start), *sample(server.pid)))
            load.join(timeout=max(0.0, start + len(rows) - time.monotonic()))
        if server.poll() is not None:
            raise SystemExit("the server died during the soak")
    with open(path, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["second", "rss_kib", "fds", "spool_files", "spool_bytes"])
        writer.writerows(rows)

    settled = [r for r in rows if r[0] >= min(WARM_UP, duration // 2)]
    base, last = settled[0][1], settled[-1][1]
    growth = (last - base) * 100.0 / base
    fds = [r[2] for r in settled]
    spools = [r[3] for r in settled]
    print(f"soak: {duration} s, {result['requests']} requests, {result['rps']:.1f} req/s, "
          f"p50 {result['p50']:.1f} ms, p99 {result['p99']:.1f} ms")
    print(f"errors {result['errors']}, non-2xx {result['non2xx']}")
    print(f"RSS {rows[0][1] / 1024:.1f} MiB at start, {base / 1024:.1f} MiB at {settled[0][0]} s, "
          f"{last / 1024:.1f} MiB at the end ({growth:+.2f} %), peak {max(r[1] for r in rows) / 1024:.1f} MiB")
    print(f"open fds {min(fds)}-{max(fds)}, spool files {min(spools)}-{max(spools)} "
          f"(max {max(r[4] for r in settled)} bytes) after {settled[0][0]} s; samples in {path}")
    # Connections come and go: a count is flat when the last half minute's peak is no higher than the
    # first half minute's after warm-up.
    window = max(1, min(30, len(settled) // 4))
    flat = all(max(c[-window:]) <= max(c[:window]) for c in (fds, spools))
    ok = result["errors"] == 0 and result["non2xx"] == 0 and growth <= 5.0 and flat
    print("soak: ok" if ok else "soak: FAILED")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
