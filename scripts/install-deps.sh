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

source "$(dirname "$0")/packages.sh"
install_missing "${packages[@]}"
