# Debian packages for the set-up and check scripts, sourced by them: installs only what is
# missing, as root or through sudo.

as_root=()
if [[ $(id -u) -ne 0 ]]; then
    as_root=(sudo)
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# A mirror caught mid-sync serves an index whose size disagrees with its release file (seen for
# the i386 security list, for hours). Naming the index by its hash, or taking another
# compression of it, often reaches a consistent copy; otherwise the update is tried again later.
update_lists() {
    local try
    for try in 1 2 3; do
        "${as_root[@]}" apt-get update -qq && return 0
        "${as_root[@]}" apt-get update -qq -o Acquire::By-Hash=force && return 0
        "${as_root[@]}" apt-get update -qq -o Acquire::CompressionTypes::Order::=gz && return 0
        echo "package lists incomplete (try $try of 3)" >&2
        if ((try < 3)); then sleep 30; fi
    done
    return 1
}

# Waits for another installation holding the lock (the stages may follow one another quickly).
apt_install() {
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq \
        -o DPkg::Lock::Timeout=600 --no-install-recommends "$@" >/dev/null
}

# Sets `missing` to those of the packages given that are not installed.
find_missing() {
    missing=()
    local package
    for package in "$@"; do
        installed "$package" || missing+=("$package")
    done
}

# Installs those of the packages given that are missing, saying which.
install_missing() {
    find_missing "$@"
    if ((${#missing[@]} > 0)); then
        echo "Installing: ${missing[*]}"
        update_lists || echo "some package lists are still incomplete" >&2
        apt_install "${missing[@]}"
    fi
}
