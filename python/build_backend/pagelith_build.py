"""A small PEP 517 backend: builds the server library and the package with CMake (Release), then
writes a wheel that carries both. Offline by design: it needs only cmake, a compiler and the
build's own dependencies."""

import base64
import hashlib
import os
import subprocess
import sys
import sysconfig
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NAME, VERSION = "pagelith", "2.3.0"


def _build_dir():
    return os.environ.get("PAGELITH_WHEEL_BUILD_DIR", os.path.join(ROOT, "build-wheel"))


def _run(*command):
    subprocess.run(command, check=True, stdout=sys.stderr)


def _build_package():
    prebuilt = os.environ.get("PAGELITH_WHEEL_PACKAGE_DIR")  # a package a build already laid out
    if prebuilt:
        return prebuilt
    build = _build_dir()
    _run("cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DPAGELITH_TESTS=OFF",
         "-DPAGELITH_SANITIZE=OFF")
    _run("cmake", "--build", build, "--target", "pagelith_python", "-j", os.environ.get("JOBS", "2"))
    return os.path.join(build, "python", NAME)


def _tag():
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return "py3-none-" + platform


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return "%s,sha256=%s,%d" % (name, digest, len(data))


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    package = _build_package()
    tag = _tag()
    dist_info = "%s-%s.dist-info" % (NAME, VERSION)
    files = []
    for entry in sorted(os.listdir(package)):
        if entry.endswith((".py", ".pyi", ".so")) or entry == "py.typed":
            with open(os.path.join(package, entry), "rb") as f:
                files.append(("%s/%s" % (NAME, entry), f.read()))
    metadata = ("Metadata-Version: 2.1\nName: %s\nVersion: %s\nSummary: Automation client for the "
                "Pagelith PDF server, with its server library\nRequires-Python: >=3.8\n" % (NAME, VERSION))
    wheel = "Wheel-Version: 1.0\nGenerator: pagelith_build\nRoot-Is-Purelib: false\nTag: %s\n" % tag
    files.append(("%s/METADATA" % dist_info, metadata.encode()))
    files.append(("%s/WHEEL" % dist_info, wheel.encode()))
    record = [_record_line(name, data) for name, data in files]
    record.append("%s/RECORD,," % dist_info)
    files.append(("%s/RECORD" % dist_info, ("\n".join(record) + "\n").encode()))
    filename = "%s-%s-%s.whl" % (NAME, VERSION, tag)
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files:
            info = zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0))
            info.external_attr = (0o755 if name.endswith(".so") else 0o644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    return filename


def build_sdist(sdist_directory, config_settings=None):
    raise RuntimeError("pagelith is installed from a checkout or a wheel; there is no source archive")
