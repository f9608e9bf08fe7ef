#!/usr/bin/env bash
# Builds a static libdeflate for Windows from Debian's own source package, the same version the
# Linux build links, so that both write the same compressed bytes.
# Usage: mingw-libdeflate.sh DEPS_DIR [ARCH]   (ARCH x86_64, the default, or i686; installs into
# DEPS_DIR/libdeflate; skipped when present)
set -euo pipefail

deps_dir=$(mkdir -p "${1:?usage: $0 DEPS_DIR}" && cd "$1" && pwd)
arch=${2:-x86_64}
prefix="$deps_dir/libdeflate"
stamp="$prefix/.built"

[[ -f $stamp ]] && exit 0

# Two builds sharing the deps dir must not fetch and build at the same time.
exec 9>"$deps_dir/.libdeflate.lock"
flock 9
[[ -f $stamp ]] && exit 0

work="$deps_dir/libdeflate-work"
apt_dir="$work/apt"
rm -rf "$work" "$prefix"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d" "$apt_dir/cache/archives/partial" "$work/src"

# Use the mirror and release this machine already installs from.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mirror=""
for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f $f ]] || continue
    mirror=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { print $i; exit } }' "$f")
    [[ -n $mirror ]] && break
done
if [[ -z $mirror ]]; then
    mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        awk -v c="$codename" '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\// && $(i+1) == c) { print $i; exit } }')
fi
mirror=${mirror:-http://deb.debian.org/debian}

keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[[ -f $keyring ]] && signed="[signed-by=$keyring] "
echo "deb-src ${signed}${mirror%/} $codename main" >"$apt_dir/sources.list"

apt_opts=(
    -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
    -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
    -o "APT::Sandbox::User=root"
)

log="$work/build.log"
echo "libdeflate: fetching the libdeflate source from $mirror ($codename)"
(
    apt-get "${apt_opts[@]}" -q update
    cd "$work/src" && apt-get "${apt_opts[@]}" -q source libdeflate
) >"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "libdeflate: fetching the source failed" >&2; exit 1; }

src=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libdeflate-*' | head -n 1)
[[ -n $src ]] || { echo "libdeflate: source directory not found" >&2; exit 1; }

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
        "$cc" -O2 -DNDEBUG -I"$src" -fvisibility=hidden -std=c99 -c "$c" -o "$o"
        objs+=("$o")
    done
    rm -f "$prefix/lib/libdeflate.a"
    "$ar" rcs "$prefix/lib/libdeflate.a" "${objs[@]}"
    cp "$src/libdeflate.h" "$prefix/include/"
) >>"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "libdeflate: build failed (log: $log)" >&2; exit 1; }

basename "$src" >"$stamp"
rm -rf "$work/build" "$work/apt"
echo "libdeflate: installed into $prefix"
