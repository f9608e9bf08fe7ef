#!/usr/bin/env bash
# Builds a static libdeflate for Windows from Debian's own source package, the same version the
# Linux build links, so that both write the same compressed bytes.
# Usage: mingw-libdeflate.sh DEPS_DIR [ARCH]   (ARCH x86_64, the default, or i686; installs into
# DEPS_DIR/libdeflate; skipped when present)
set -euo pipefail
. "$(dirname "$0")/debian-source.sh"

deps_dir=$(mkdir -p "${1:?usage: $0 DEPS_DIR}" && cd "$1" && pwd)
arch=${2:-x86_64}
begin_dependency libdeflate libdeflate "$deps_dir" .built

# The library is a handful of C files with no configuration step: compiled directly, which avoids
# the upstream makefile's Windows naming of the static archive.
echo "libdeflate: building $(basename "$src") for mingw-w64 $arch (static)"
cc=$arch-w64-mingw32-gcc
ar=$arch-w64-mingw32-ar
(
    mkdir -p "$work/build" "$prefix/lib" "$prefix/include"
    objs=()
    for c in "$src"/lib/*.c "$src"/lib/x86/*.c; do
        o="$work/build/$(basename "${c%.c}").o"
        # set -e does not hold in a subshell tested by ||: each step says itself when it fails.
        "$cc" -O2 -DNDEBUG -I"$src" -fvisibility=hidden -std=c99 -c "$c" -o "$o" || exit 1
        objs+=("$o")
    done
    rm -f "$prefix/lib/libdeflate.a"
    "$ar" rcs "$prefix/lib/libdeflate.a" "${objs[@]}" || exit 1
    cp "$src/libdeflate.h" "$prefix/include/" || exit 1
) >>"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "libdeflate: build failed (log: $log)" >&2; exit 1; }

finish_dependency libdeflate
