#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows cross build need; `deps.sh demo`
# only those of `make demo` (the Linux build of the Python module, its font and qpdf).
# Quiet and quick when everything is there: apt is only touched for what is missing.
set -euo pipefail

demo_packages=(
    build-essential cmake ninja-build pkg-config python3 python3-dev zlib1g-dev libjpeg62-turbo-dev libdeflate-dev
    libharfbuzz-dev libfribidi-dev fonts-dejavu-core qpdf
)

packages=(
    build-essential cmake ninja-build pkg-config zlib1g-dev libjpeg62-turbo-dev
    libgtest-dev googletest libbenchmark-dev
    qpdf poppler-utils mupdf-tools
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools libz-mingw-w64-dev nasm
    wine64 wine wine64-tools
    python3-pytest python3-waitress python3-fonttools python3-venv python3-pip
    fonts-dejavu-core fonts-liberation fonts-ipafont-gothic fonts-urw-base35 fonts-freefont-otf fonts-wqy-zenhei
    libhpdf-dev
    curl dpkg-dev clang-format
    python3-pil python3-numpy python3-pikepdf libtiff-tools imagemagick
    clang libclang-rt-14-dev libpng-dev libtiff-dev hyperfine
    libdeflate-dev img2pdf libharfbuzz-dev libfribidi-dev unicode-data
    libharfbuzz-bin libfribidi-bin fonts-noto-core fonts-linuxlibertine
    python3-reportlab python3-gunicorn wrk
    mypy
    chromium chromium-driver python3-selenium python3-distributed
)
if [[ ${1:-} == demo ]]; then
    packages=("${demo_packages[@]}")
else
    mapfile -t packages < <(printf '%s\n' "${packages[@]}" "${demo_packages[@]}" | sort -u)
fi

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null || true)
    [[ $status == ii* ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "deps: installing ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "deps: run as root to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { "${sudo[@]}" apt-get update -q &&
       "${sudo[@]}" apt-get install -y -q --no-install-recommends -o Dpkg::Use-Pty=0 "${missing[@]}"; } \
       </dev/null >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "deps: apt-get failed" >&2
    exit 1
fi
echo "deps: done"
