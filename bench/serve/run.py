#!/usr/bin/env python3
"""Throughput of the invoice server: requests/s and p50/p99 latency per server x library x concurrency.

    make bench-serve                       # or: python3 bench/serve/run.py
    SERVE_SECONDS=60 make bench-serve      # longer runs (default 10 s each)

Knobs: SERVE_SECONDS, SERVE_CONCURRENCY ("1 4 16"), SERVE_SERVERS ("waitress gunicorn"),
SERVE_LIBRARIES ("pagelith reportlab"), SERVE_THREADS (waitress threads, 4 as waitress has), SERVE_WORKERS
(gunicorn processes, one per core), SERVE_PORT (first port, 18100). The module comes from
PYTHONPATH, build/python by default. wrk runs on 127.0.0.1 only.
"""

import contextlib
import os
import re
import signal
import subprocess
import sys
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PYTHON = "/usr/bin/python3"


def env_list(name, default):
    return os.environ.get(name, default).split()


def server_env():
    env = dict(os.environ)
    given = env.get("PYTHONPATH") or os.path.join(ROOT, "build", "python")
    env["PYTHONPATH"] = os.pathsep.join([HERE] + [os.path.abspath(p) for p in given.split(os.pathsep) if p])
    return env


def server_command(server, port):
    if server == "waitress":
        # More threads than waitress's four only contend for the interpreter's lock on two cores: at eight,
        # pagelith's requests/s were 3-20 % lower and ReportLab's the same.
        threads = os.environ.get("SERVE_THREADS", "4")
        return [PYTHON, "-m", "waitress", f"--listen=127.0.0.1:{port}", f"--threads={threads}",
                "--backlog=1024", "--connection-limit=1000", "app:application"]
    if server == "gunicorn":
        workers = os.environ.get("SERVE_WORKERS", str(os.cpu_count() or 1))
        return [PYTHON, "-m", "gunicorn", "--bind", f"127.0.0.1:{port}", "--workers", workers,
                "--backlog", "1024", "--log-level", "warning", "app:application"]
    raise SystemExit(f"unknown server {server}")


@contextlib.contextmanager
def serving(server, port):
    """A server process for the block; yields its process."""
    log = open(os.path.join(os.environ.get("TMPDIR", "/tmp"), f"serve-{server}-{port}.log"), "wb")
    process = subprocess.Popen(server_command(server, port), env=server_env(), cwd=HERE, stdout=log,
                               stderr=subprocess.STDOUT, start_new_session=True)
    try:
        deadline = time.monotonic() + 30
        while True:
            try:
                fetch(port, "/")
                break
            except OSError:
                if process.poll() is not None or time.monotonic() > deadline:
                    raise SystemExit(f"{server} did not start; see {log.name}")
                time.sleep(0.2)
        yield process
    finally:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        log.close()


def fetch(port, path):
    try:
        with urllib.request.urlopen(f"http://127.0.0.1:{port}{path}", timeout=30) as answer:
            return answer.read()
    except urllib.error.HTTPError as error:
        return error.read()


def seconds(text, unit):
    return float(text) * {"us": 1e-6, "ms": 1e-3, "s": 1.0, "m": 60.0}[unit]


def wrk(port, path, connections, duration):
    """Runs wrk on path + the invoice number, counting up; returns requests/s, p50 and p99 in ms, requests, errors and non-2xx answers."""
    threads = min(connections, 2)
    out = subprocess.run(["wrk", "-t", str(threads), "-c", str(connections), "-d", f"{duration}s",
                          "--timeout", "30s", "--latency", "--script", os.path.join(HERE, "numbers.lua"),
                          f"http://127.0.0.1:{port}{path}"],
                         check=True, capture_output=True, text=True).stdout
    result = {"rps": float(re.search(r"Requests/sec:\s*([\d.]+)", out).group(1)),
              "requests": int(re.search(r"(\d+) requests in", out).group(1)),
              "non2xx": int((re.search(r"Non-2xx or 3xx responses:\s*(\d+)", out) or [0, 0])[1]),
              "errors": sum(int(n) for n in re.findall(r"(?:connect|read|write|timeout) (\d+)", out))}
    for pct in ("50", "99"):
        m = re.search(rf"^\s*{pct}(?:\.000)?%\s+([\d.]+)(us|ms|s|m)\s*$", out, re.M)
        result["p" + pct] = seconds(*m.groups()) * 1000
    return result


def main():
    duration = int(os.environ.get("SERVE_SECONDS", "10"))
    levels = [int(c) for c in env_list("SERVE_CONCURRENCY", "1 4 16")]
    servers = env_list("SERVE_SERVERS", "waitress gunicorn")
    libraries = env_list("SERVE_LIBRARIES", "pagelith reportlab")
    port = int(os.environ.get("SERVE_PORT", "18100"))
    rows, sizes = [], {}
    for server in servers:
        with serving(server, port):
            for library in libraries:
                path = f"/{library}/"
                body = fetch(port, path + "1")  # warms the process: fonts registered, module loaded
                if not body.startswith(b"%PDF-"):
                    raise SystemExit(f"{server} {path} did not answer a PDF: {body[:200]!r}")
                sizes[library] = len(body)
                for connections in levels:
                    r = wrk(port, path, connections, duration)
                    rows.append((server, library, connections, r))
                    print(f"{server:9} {library:10} c={connections:<3} {r['rps']:8.1f} req/s  "
                          f"p50 {r['p50']:7.1f} ms  p99 {r['p99']:7.1f} ms  errors {r['errors']}  "
                          f"non-2xx {r['non2xx']}", file=sys.stderr, flush=True)
        port += 1

    print(f"\n{duration} s per cell, wrk on 127.0.0.1, {os.cpu_count()} cores\n")
    print("| server | library | conc. | req/s | p50 ms | p99 ms | errors | non-2xx | × ReportLab |")
    print("|---|---|---|---|---|---|---|---|---|")
    peer = {(s, c): r["rps"] for s, lib, c, r in rows if lib == "reportlab"}
    for server, library, connections, r in rows:
        ratio = r["rps"] / peer[(server, connections)] if peer.get((server, connections)) else None
        print(f"| {server} | {library} | {connections} | {r['rps']:.1f} | {r['p50']:.1f} | {r['p99']:.1f} | "
              f"{r['errors']} | {r['non2xx']} | {'' if ratio is None else f'{ratio:.2f}'} |")
    print("\n| library | invoice bytes |\n|---|---|")
    for library, size in sizes.items():
        print(f"| {library} | {size} |")


if __name__ == "__main__":
    main()
