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
prefix="$deps_dir/libjpeg"
# The stamp names the build's kind: a change of options below must change it, so old builds are redone.
stamp="$prefix/.built-simd"

[[ -f $stamp ]] && exit 0

# Two builds sharing the deps dir must not fetch and build at the same time.
exec 9>"$deps_dir/.libjpeg.lock"
flock 9
[[ -f $stamp ]] && exit 0

work="$deps_dir/libjpeg-work"
rm -rf "$work" "$prefix"
fetch_debian_source libjpeg-turbo "$work"
src=$debian_source
log="$work/build.log"

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
basename "$src" >"$stamp"
rm -rf "$work/build" "$work/apt"
echo "libjpeg: installed into $prefix"
