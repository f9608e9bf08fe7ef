# Sourced by the scripts that build Windows libraries from Debian's own source packages.
# fetch_debian_source PACKAGE WORK_DIR: fetches PACKAGE's source with apt-get source through a private
# apt configuration under WORK_DIR (from the mirror and release this machine installs from) and sets
# debian_source to the unpacked folder. Fails with the log's tail.

fetch_debian_source() {
    local package=$1 work=$2
    local apt_dir="$work/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d" "$apt_dir/cache/archives/partial" "$work/src"

    local codename mirror="" f
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
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

    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg signed=""
    [[ -f $keyring ]] && signed="[signed-by=$keyring] "
    echo "deb-src ${signed}${mirror%/} $codename main" >"$apt_dir/sources.list"

    local apt_opts=(
        -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
        -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
        -o "Dir::State::Lists=$apt_dir/lists"
        -o "Dir::Cache=$apt_dir/cache"
        -o "APT::Sandbox::User=root"
    )
    local log="$work/fetch.log"
    echo "$package: fetching the source from $mirror ($codename)"
    (
        apt-get "${apt_opts[@]}" -q update
        cd "$work/src" && apt-get "${apt_opts[@]}" -q source "$package"
    ) >"$log" 2>&1 || { tail -n 30 "$log" >&2; echo "$package: fetching the source failed" >&2; return 1; }

    debian_source=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$package-*" | head -n 1)
    [[ -n $debian_source ]] || { echo "$package: source directory not found" >&2; return 1; }
}
