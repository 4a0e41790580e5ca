#!/usr/bin/env bash
# The speed tables, measured on the machine that runs the stages and printed last, so that the
# machine CI runs on reports them: the budget meter's worst block per block size and rate, then
# the steady and set-up cases against their copies (scripts/bench.sh, three repetitions), then
# default playback's rows and the CPU once more. It measures and prints: a shared machine's
# timings are no pass or fail, so the targets are read off the tables (the target column, and
# 10% of the budget).
set -euo pipefail
cd "$(dirname "$0")/../.."
BENCH_REPETITIONS=${BENCH_REPETITIONS:-3} ./scripts/bench.sh build 2>/dev/null >build/bench/tables.md
cmake --build build -j 2 --target vorblexter_budget_bench >/dev/null
build/bench/vorblexter_budget_bench --benchmark_out=build/bench/budget.json \
    --benchmark_out_format=json >/dev/null 2>&1
python3 - build/bench/budget.json <<'PY'
import json, sys
print("\n| rate | block | budget | worst block | share of the budget | worst phase |")
print("|---|---|---|---|---|---|")
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    _, rate, frames = b["name"].split("/")[:3]
    print(f"| {int(rate) / 1000:g} kHz | {frames} | {b['budget_us']:.0f} us | "
          f"{b['worst_block_us']:.1f} us | {b['worst_share_pct']:.2f}% | {b['label']} |")
PY
cat build/bench/tables.md
# Last, where a log's tail shows it: default playback against its target, and the machine.
echo
grep -F 'default parameters' build/bench/tables.md
lscpu | grep -E '^(Vendor ID|Model name|CPU family|Model):' | tr -s ' ' | paste -sd ';' || true
