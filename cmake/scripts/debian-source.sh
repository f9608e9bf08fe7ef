# Sourced by the scripts that build Windows libraries from Debian's own source packages.
# fetch_debian_source PACKAGE WORK_DIR: fetches PACKAGE's source with apt-get source through a private
# apt configuration under WORK_DIR (from the mirror and release this machine installs from) and sets
# debian_source to the unpacked folder. Fails with the log's tail, or when apt names no Debian mirror.

fetch_debian_source() {
    local package=$1 work=$2
    local apt_dir="$work/apt"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/sources.list.d" "$apt_dir/cache/archives/partial" "$work/src"

    local codename mirror="" f looked=()
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] || continue
        looked+=("$f")
        mirror=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { print $i; exit } }' "$f")
        [[ -n $mirror ]] && break
    done
    if [[ -z $mirror ]]; then
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [[ -f $f ]] && looked+=("$f")
        done
        mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
            awk -v c="$codename" '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\// && $(i+1) == c) { print $i; exit } }')
    fi
    # No built-in mirror: the source must come from where this machine's own packages come from.
    if [[ -z $mirror ]]; then
        local where="looked in: ${looked[*]}"
        [[ ${#looked[@]} -gt 0 ]] ||
            where="none of /etc/apt/sources.list, /etc/apt/sources.list.d/*.sources or *.list exists"
        echo "$package: no Debian source is configured in the machine's apt configuration" \
            "(no .../debian URI in a .sources file, no 'deb URI $codename' line in a .list file; $where)" >&2
        return 1
    fi

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

# begin_dependency NAME PACKAGE DEPS_DIR STAMP_NAME: the start every dependency build shares. Exits
# when NAME is already built into DEPS_DIR/NAME; otherwise takes the lock that keeps two builds sharing
# DEPS_DIR apart, clears the earlier attempt and fetches PACKAGE's source. Sets prefix, stamp, work,
# src and log.
begin_dependency() {
    local name=$1 package=$2 deps_dir=$3
    prefix="$deps_dir/$name"
    stamp="$prefix/$4"
    [[ -f $stamp ]] && exit 0
    exec 9>"$deps_dir/.$name.lock"
    flock 9
    [[ -f $stamp ]] && exit 0
    work="$deps_dir/$name-work"
    rm -rf "$work" "$prefix"
    fetch_debian_source "$package" "$work"
    src=$debian_source
    log="$work/build.log"
}

# finish_dependency NAME: stamps the build with its source's version and drops what only building needed.
finish_dependency() {
    basename "$src" >"$stamp"
    rm -rf "$work/build" "$work/apt"
    echo "$1: installed into $prefix"
}

# automake_list FILE VARIABLE: the words of VARIABLE's assignment in an automake file, one a line, so
# that a library is built from the same files as its own build uses.
automake_list() {
    awk -v var="$2" '
        !on && match($0, "^" var "[ \t]*=") { on = 1; $0 = substr($0, RLENGTH + 1) }
        on { more = sub(/\\$/, ""); print; if (!more) exit }
    ' "$1" | tr -s ' \t' '\n' | grep -v -e '^$' -e '^\$'
}
