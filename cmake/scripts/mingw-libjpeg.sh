#!/usr/bin/env bash
# Builds a static libjpeg (IJG 6b interface) for Windows from Debian's own libjpeg-turbo source
# package, since Debian ships no mingw build of it. SIMD is on, as in Debian's own build: the float DCT
# then takes the same code path on both platforms, so JPEG output is byte-identical (needs nasm).
# Usage: mingw-libjpeg.sh DEPS_DIR [ARCH]   (ARCH x86_64, the default, or i686; installs into
# DEPS_DIR/libjpeg; skipped when present)
set -euo pipefail
. "$(dirname "$0")/debian-source.sh"

deps_dir=$(mkdir -p "${1:?usage: $0 DEPS_DIR}" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
toolchain="$here/../mingw-w64-${2:-x86_64}.cmake"
# The stamp names the build's kind: a change of options below must change it, so old builds are redone.
begin_dependency libjpeg libjpeg-turbo "$deps_dir" .built-simd

echo "libjpeg: building $(basename "$src") for mingw-w64 (static)"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
(
    cmake -S "$src" -B "$work/build" "${generator[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON -DWITH_JPEG8=OFF
    cmake --build "$work/build" -j "${JOBS:-2}"
    cmake --install "$work/build"
) >>"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "libjpeg: build failed (log: $log)" >&2; exit 1; }

[[ -f $prefix/lib/libjpeg.a && -f $prefix/include/jpeglib.h ]] ||
    { echo "libjpeg: install is incomplete in $prefix" >&2; exit 1; }
finish_dependency libjpeg
