#!/usr/bin/env bash
# Configures and builds the release tree in build/ (plug-in, command-line host, tests, benchmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORBLEXTER_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)"
