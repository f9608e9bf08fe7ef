#!/usr/bin/env bash
# Builds a static HarfBuzz with its subset library for Windows from Debian's own source package, the
# same version the Linux build links, so that both write the same font subsets. No optional backend
# (FreeType, GLib, ICU, Graphite, Uniscribe, GDI, DirectWrite): the result needs only kernel32 and
# the C runtime.
# Usage: mingw-harfbuzz.sh DEPS_DIR [ARCH]   (ARCH x86_64, the default, or i686; installs into
# DEPS_DIR/harfbuzz; skipped when present)
set -euo pipefail
. "$(dirname "$0")/debian-source.sh"

deps_dir=$(mkdir -p "${1:?usage: $0 DEPS_DIR}" && cd "$1" && pwd)
arch=${2:-x86_64}
begin_dependency harfbuzz harfbuzz "$deps_dir" .built

# The subset amalgamation includes every source of the base library as well, so one compile gives one
# archive holding both (two archives would define the base twice). Flags follow upstream's own build:
# C++11, no exceptions or RTTI, big objects on Windows; no NDEBUG, as in Debian's build. Threads use
# Windows critical sections (HAVE_PTHREAD unset); HAVE_ATEXIT frees lazily made data on unload.
echo "harfbuzz: building $(basename "$src") for mingw-w64 $arch (static)"
cxx=$arch-w64-mingw32-g++-posix
ar=$arch-w64-mingw32-ar
# set -e does not hold inside a subshell on the left of ||: each step exits on its own failure.
(
    mkdir -p "$work/build" "$prefix/lib" "$prefix/include/harfbuzz"
    "$cxx" -std=c++11 -O2 -DHAVE_ATEXIT=1 -fno-exceptions -fno-rtti -fno-threadsafe-statics \
        -fvisibility-inlines-hidden -Wa,-mbig-obj -I"$src/src" \
        -c "$src/src/harfbuzz-subset.cc" -o "$work/build/harfbuzz-subset.o" || exit
    "$ar" rcs "$prefix/lib/libharfbuzz-subset.a" "$work/build/harfbuzz-subset.o" || exit

    # The public headers are the ones upstream installs: its base list, the subset's and the features
    # header, here with every backend off.
    headers=$(sed -n "/^hb_base_headers = files(/,/^)/s/^ *'\(.*\)',\$/\1/p" "$src/src/meson.build")
    [[ -n $headers ]] || { echo "no header list in src/meson.build"; exit 1; }
    for h in $headers hb-version.h hb-subset.h hb-subset-repacker.h; do
        cp "$src/src/$h" "$prefix/include/harfbuzz/" || exit
    done
    sed 's|^#mesondefine \(.*\)|/* #undef \1 */|' "$src/src/hb-features.h.in" \
        >"$prefix/include/harfbuzz/hb-features.h"
) >>"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "harfbuzz: build failed (log: $log)" >&2; exit 1; }

[[ -f $prefix/lib/libharfbuzz-subset.a && -f $prefix/include/harfbuzz/hb-subset.h ]] ||
    { echo "harfbuzz: install is incomplete in $prefix" >&2; exit 1; }
finish_dependency harfbuzz
