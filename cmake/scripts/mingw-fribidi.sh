#!/usr/bin/env bash
# Builds a static FriBidi for Windows from Debian's own source package, the same version the Linux
# build links, so that both order bidirectional text the same way. No optional feature: the result
# needs only kernel32 and the C runtime.
# Usage: mingw-fribidi.sh DEPS_DIR [ARCH]   (ARCH x86_64, the default, or i686; installs into
# DEPS_DIR/fribidi; skipped when present)
set -euo pipefail
. "$(dirname "$0")/debian-source.sh"

deps_dir=$(mkdir -p "${1:?usage: $0 DEPS_DIR}" && cd "$1" && pwd)
arch=${2:-x86_64}
begin_dependency fribidi fribidi "$deps_dir" .built

# Compiled directly from the lists of upstream's automake build, the one Debian runs. The Unicode
# tables (*.tab.i, fribidi-unicode-version.h) are used as shipped, as Debian's build does: the
# bundled Unicode data is newer, and regenerating from it would classify characters differently.
echo "fribidi: building $(basename "$src") for mingw-w64 $arch (static)"
cc=$arch-w64-mingw32-gcc-posix
ar=$arch-w64-mingw32-ar
inc="$prefix/include/fribidi"
# set -e does not hold in a subshell tested by ||: each step says itself when it fails.
(
    mkdir -p "$work/build" "$prefix/lib" "$inc"

    # fribidi-config.h takes configure's values; the one it computes, sizeof(int), is 4 on both targets.
    subst=(-e 's|@configure_input@|lib/fribidi-config.h.  Generated from fribidi-config.h.in by mingw-fribidi.sh.|'
        -e 's|@SIZEOF_INT@|4|')
    while IFS='=' read -r key value; do
        subst+=(-e "s|@$key@|$value|g")
        [[ $key == PACKAGE_TARNAME ]] && subst+=(-e "s|@PACKAGE@|$value|g")
    done < <(sed -n -E "s/^(PACKAGE_[A-Z]+|FRIBIDI_[A-Z_]+)=['\"]?([^'\"]*)['\"]?\$/\1=\2/p" "$src/configure")
    sed "${subst[@]}" "$src/lib/fribidi-config.h.in" >"$inc/fribidi-config.h" || exit 1
    if grep -n '@[A-Za-z_]*@' "$inc/fribidi-config.h"; then
        echo "fribidi-config.h: values left unset"; exit 1
    fi

    sources=$(automake_list "$src/lib/Makefile.am" libfribidi_la_SOURCES | grep '\.c$')
    headers=$(automake_list "$src/lib/Headers.mk" libfribidi_la_headers)
    [[ -n $sources && -n $headers ]] || { echo "no source or header list in lib/"; exit 1; }

    # What configure finds in this C runtime, given directly rather than through a config.h; -ansi
    # as upstream's build adds for gcc.
    objs=()
    for c in $sources; do
        o="$work/build/${c%.c}.o"
        "$cc" -O2 -ansi -DHAVE_STDLIB_H=1 -DHAVE_STRING_H=1 -DHAVE_STRINGS_H=1 -DSTDC_HEADERS=1 \
            -DHAVE_STRINGIZE=1 -I"$src/lib" -I"$inc" -c "$src/lib/$c" -o "$o" || exit 1
        objs+=("$o")
    done
    rm -f "$prefix/lib/libfribidi.a"
    "$ar" rcs "$prefix/lib/libfribidi.a" "${objs[@]}" || exit 1
    for h in $headers; do
        cp "$src/lib/$h" "$inc/" || exit 1
    done
) >>"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "fribidi: build failed (log: $log)" >&2; exit 1; }

[[ -f $prefix/lib/libfribidi.a && -f $inc/fribidi.h && -f $inc/fribidi-unicode-version.h ]] ||
    { echo "fribidi: install is incomplete in $prefix" >&2; exit 1; }
finish_dependency fribidi
