"""The WSGI example as a browser meets it: served by its own main(), then fetched by headless Chromium."""

import contextlib
import hashlib
import os
import shutil
import subprocess
import sys
import time
import urllib.request

import pytest
from conftest import tool_env
from test_wsgi import serve

EXAMPLES = os.path.join(os.path.dirname(__file__), "..", "..", "examples")
sys.path.insert(0, EXAMPLES)
import wsgi_app  # noqa: E402

PDF_VIEWER = "chrome-extension://mhjfbmdgcfjbbpaeojofohoefgiehjai/"
FLAGS = ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync")


def test_example_serves_a_burst_of_clients():
    """Its listen backlog holds a burst of clients, so none is dropped to wait for SYN retries."""
    server = subprocess.Popen([sys.executable, os.path.join(EXAMPLES, "wsgi_app.py"), "0"],
                              stdout=subprocess.PIPE, text=True)
    try:
        url = server.stdout.readline().split()[-1]
        listening = subprocess.run(["ss", "-ltnH", "sport = :" + url.rstrip("/").rsplit(":", 1)[1]],
                                   capture_output=True, text=True, env=tool_env(), check=True).stdout.split()
        assert int(listening[2]) >= 128, listening  # Send-Q of a listening socket: its backlog
        with urllib.request.urlopen(url + "?download=1&name=a.pdf", timeout=30) as response:
            assert response.headers["Content-Disposition"] == 'attachment; filename="a.pdf"'
    finally:
        server.terminate()
        server.wait(10)


@pytest.fixture(scope="module")
def browser(tmp_path_factory):
    """(Chromium, its download directory, the example's URL, the bodies the example sent by path)."""
    webdriver = pytest.importorskip("selenium.webdriver", reason="python3-selenium is not installed")
    if not (shutil.which("chromium") and shutil.which("chromedriver")):
        pytest.skip("Chromium or chromium-driver is not installed")
    from selenium.webdriver.chrome.service import Service

    home = tmp_path_factory.mktemp("chromium")
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium")
    for flag in FLAGS + ("--user-data-dir=%s" % (home / "profile"),):
        options.add_argument(flag)
    downloads = home / "downloads"
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads)})
    sent = {}

    def recording(environ, start_response):
        with contextlib.closing(wsgi_app.application(environ, start_response)) as body:
            sent[environ["PATH_INFO"]] = b"".join(body)
        return [sent[environ["PATH_INFO"]]]

    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver"), env=tool_env()), options=options)
    with serve(recording) as url:
        try:  # the browser goes first, so that the server is not left waiting on its open connections
            driver.execute_cdp_cmd("Browser.setDownloadBehavior",
                                   {"behavior": "allow", "downloadPath": str(downloads)})
            yield driver, downloads, url, sent
        finally:
            driver.quit()


def wait_for(condition, what, seconds=30):
    deadline = time.monotonic() + seconds
    while not condition():
        assert time.monotonic() < deadline, "gave up waiting for " + what
        time.sleep(0.1)


@pytest.mark.parametrize("path,name", [
    ("/report?download=1&name=report.pdf", "report.pdf"),
    # Saved under the exact name of filename*, not the code-page one of filename.
    ("/resume?download=1&name=r%C3%A9sum%C3%A9%20%E2%82%AC%20%E4%B8%AD.pdf", "r\u00e9sum\u00e9 \u20ac \u4e2d.pdf"),
])
def test_attachment_is_saved_under_its_file_name(browser, path, name):
    driver, downloads, url, sent = browser
    driver.get(url + path)
    target = downloads / name
    wait_for(lambda: target.exists() and not list(downloads.glob("*.crdownload")), name)
    body = sent[path.partition("?")[0]]
    assert target.read_bytes() == body
    print("saved %r, sha256 %s" % (name, hashlib.sha256(target.read_bytes()).hexdigest()))
    target.unlink()


def test_inline_document_is_shown_not_downloaded(browser):
    driver, downloads, url, _ = browser
    shown = url + "/shown?name=shown.pdf"
    driver.get(shown)

    def in_viewer():
        targets = driver.execute_cdp_cmd("Target.getTargets", {})["targetInfos"]
        page = [t for t in targets if t["type"] == "page" and t["url"] == shown]
        return page and page[0]["title"] == "shown.pdf" and any(
            t["url"].startswith(PDF_VIEWER) and t.get("parentId") == page[0]["targetId"] for t in targets)

    wait_for(in_viewer, "the PDF viewer")
    assert driver.execute_script("return document.contentType") == "application/pdf"
    assert list(downloads.iterdir()) == []
