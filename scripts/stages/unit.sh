#!/usr/bin/env bash
# The normal test suite: the layer check, release build with warnings as errors, every CTest test,
# the format check.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/check-layers.sh
./scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)" --label-exclude soak
git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run --Werror
