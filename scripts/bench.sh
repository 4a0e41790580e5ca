#!/usr/bin/env bash
# Runs the benchmarks and prints their markdown table, which it also keeps, with the raw JSON, in
# the build folder (results.md, results.json under bench/). Builds a release tree first when the
# folder has none. Usage: scripts/bench.sh [build-dir]; BENCH_REPETITIONS (default 5) sets how
# often each case runs, and the benchmark program's own options can follow the folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
shift || true

if [[ ! -f "$build/CMakeCache.txt" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORBLEXTER_WERROR=ON \
        >/dev/null
fi
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ "$type" != "Release" ]]; then
    echo "bench.sh: $build is a '$type' build; benchmarks need a Release build" >&2
    exit 1
fi
cmake --build "$build" -j "$(nproc)" --target vorblexter_bench >/dev/null

out="$build/bench"
"$out/vorblexter_bench" --benchmark_repetitions="${BENCH_REPETITIONS:-5}" \
    --benchmark_out="$out/results.json" --benchmark_out_format=json "$@" >&2
python3 "$root/scripts/bench_table.py" "$out/results.json" | tee "$out/results.md"
