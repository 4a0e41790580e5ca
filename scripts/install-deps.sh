#!/usr/bin/env bash
# Installs the Debian 12 packages the build, tools and tests need. Safe to run again: it installs
# only what is missing, and uses sudo when not run as root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    clang-14 libclang-rt-14-dev clang-format-14
    libgtest-dev libgmock-dev libbenchmark-dev
    libsndfile1-dev
    lv2-dev liblilv-dev lilv-utils sordi
    dpf-source
    binutils file python3
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo_cmd=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
