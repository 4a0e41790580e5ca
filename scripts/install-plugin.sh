#!/usr/bin/env bash
# Installs the Linux plug-ins where hosts look for them. The VST 2.x library goes to the first
# folder named in LXVST_PATH, else the first in VST_PATH, else ~/.vst; the LV2 bundle
# vorblexter1.lv2 to the first folder in LV2_PATH, else ~/.lv2; the CLAP module
# vorblexter1.clap to the first folder in CLAP_PATH, else ~/.clap. --dest, --lv2-dest and
# --clap-dest name other folders (--clap-dest /usr/lib/clap installs it for every user).
#
# Usage: scripts/install-plugin.sh [--dest FOLDER] [--lv2-dest FOLDER] [--clap-dest FOLDER]
#                                  [PLUGIN [BUNDLE [MODULE]]]
#   PLUGIN defaults to build/vorblexter1.so (made by scripts/build.sh), else the one in dist/;
#   BUNDLE to build/vorblexter1.lv2, else the one in dist/; MODULE to build/vorblexter1.clap,
#   else the one in dist/.
set -euo pipefail
cd "$(dirname "$0")/.."

dest=""
lv2_dest=""
clap_dest=""
plugin=""
bundle=""
module=""
while (($# > 0)); do
    case $1 in
    --dest)
        dest=${2:?--dest needs a folder}
        shift 2
        ;;
    --lv2-dest)
        lv2_dest=${2:?--lv2-dest needs a folder}
        shift 2
        ;;
    --clap-dest)
        clap_dest=${2:?--clap-dest needs a folder}
        shift 2
        ;;
    -h | --help)
        sed -n '2,12p' "$0"
        exit 0
        ;;
    *)
        if [[ -z $plugin ]]; then
            plugin=$1
        elif [[ -z $bundle ]]; then
            bundle=$1
        else
            module=$1
        fi
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
if [[ -z $bundle ]]; then
    for candidate in build/vorblexter1.lv2 dist/linux-x86_64/vorblexter1.lv2; do
        if [[ -f $candidate/manifest.ttl ]]; then
            bundle=$candidate
            break
        fi
    done
fi
if [[ -z $bundle || ! -f $bundle/manifest.ttl || ! -f $bundle/vorblexter1.so ]]; then
    echo "No LV2 bundle to install: build it first (./scripts/build.sh) or name the folder." >&2
    exit 1
fi
if [[ -z $module ]]; then
    for candidate in build/vorblexter1.clap dist/linux-x86_64/vorblexter1.clap; do
        if [[ -f $candidate ]]; then
            module=$candidate
            break
        fi
    done
fi
if [[ -z $module || ! -f $module ]]; then
    echo "No CLAP module to install: build it first (./scripts/build.sh) or name the file." >&2
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

if [[ -z $lv2_dest ]]; then
    lv2_dest=$(first_folder "${LV2_PATH:-}")
fi
if [[ -z $lv2_dest ]]; then
    lv2_dest=$HOME/.lv2
fi

if [[ -z $clap_dest ]]; then
    clap_dest=$(first_folder "${CLAP_PATH:-}")
fi
if [[ -z $clap_dest ]]; then
    clap_dest=$HOME/.clap
fi

mkdir -p "$dest" "$lv2_dest/vorblexter1.lv2" "$clap_dest"
# `install` writes a new file rather than overwriting in place, so a host that has the old
# library loaded keeps running on its copy.
install -m 0755 "$plugin" "$dest/vorblexter1.so"
echo "Installed $dest/vorblexter1.so"
install -m 0644 "$bundle/manifest.ttl" "$bundle/vorblexter1.ttl" "$lv2_dest/vorblexter1.lv2/"
install -m 0755 "$bundle/vorblexter1.so" "$lv2_dest/vorblexter1.lv2/vorblexter1.so"
echo "Installed $lv2_dest/vorblexter1.lv2"
install -m 0755 "$module" "$clap_dest/vorblexter1.clap"
echo "Installed $clap_dest/vorblexter1.clap"
