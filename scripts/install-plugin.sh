#!/usr/bin/env bash
# Installs the Linux plug-in where hosts look for VST 2.x plug-ins: the first folder named in
# LXVST_PATH, else the first in VST_PATH, else ~/.vst. Hosts that scan other folders can be
# pointed at it with --dest.
#
# Usage: scripts/install-plugin.sh [--dest FOLDER] [PLUGIN]
#   PLUGIN defaults to build/vorblexter1.so (made by scripts/build.sh), else the one in dist/.
set -euo pipefail
cd "$(dirname "$0")/.."

dest=""
plugin=""
while (($# > 0)); do
    case $1 in
    --dest)
        dest=${2:?--dest needs a folder}
        shift 2
        ;;
    -h | --help)
        sed -n '2,8p' "$0"
        exit 0
        ;;
    *)
        plugin=$1
        shift
        ;;
    esac
done

if [[ -z $plugin ]]; then
    for candidate in build/vorblexter1.so dist/linux-x86_64/vorblexter1.so; do
        if [[ -f $candidate ]]; then
            plugin=$candidate
            break
        fi
    done
fi
if [[ -z $plugin || ! -f $plugin ]]; then
    echo "No plug-in to install: build it first (./scripts/build.sh) or name the file." >&2
    exit 1
fi

# The path variables are colon-separated lists, as hosts read them; the first folder wins.
first_folder() {
    local list=$1 folder
    IFS=: read -ra folders <<<"$list"
    for folder in "${folders[@]}"; do
        if [[ -n $folder ]]; then
            echo "${folder/#\~/$HOME}"
            return
        fi
    done
}
if [[ -z $dest ]]; then
    dest=$(first_folder "${LXVST_PATH:-}")
fi
if [[ -z $dest ]]; then
    dest=$(first_folder "${VST_PATH:-}")
fi
if [[ -z $dest ]]; then
    dest=$HOME/.vst
fi

mkdir -p "$dest"
# `install` writes a new file rather than overwriting in place, so a host that has the old
# library loaded keeps running on its copy.
install -m 0755 "$plugin" "$dest/vorblexter1.so"
echo "Installed $dest/vorblexter1.so"
