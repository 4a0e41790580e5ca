#!/usr/bin/env bash
# A bounded run of the host-event fuzzer (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer,
# clang-14): one worker per core for FUZZ_SECONDS, starting from the committed corpus and
# regressions, which it only reads. Fails on any finding (crash, broken check, leak, timeout,
# out-of-memory) and when the workers together report fewer than FUZZ_MIN_RUNS executions: a
# fuzzer that stalls on slow inputs finds nothing. Each execution builds at least one effect,
# whose 10000 slice records cost a few milliseconds under AddressSanitizer, so two workers
# manage some tens of executions per second each, not thousands.
#
# A long local run: FUZZ_SECONDS=28800 scripts/stages/fuzz.sh; new inputs collect in
# build-fuzz/run/corpus (merge them with host_event_fuzzer -merge=1 fuzz/corpus <that folder>),
# findings in build-fuzz/run/artifacts.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
seconds=${FUZZ_SECONDS:-120}
min_runs=${FUZZ_MIN_RUNS:-2000}
workers=$(nproc)

CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORBLEXTER_WERROR=ON -DVORBLEXTER_BUILD_FUZZERS=ON -DVORBLEXTER_BUILD_TESTS=OFF \
    -DVORBLEXTER_BUILD_TOOLS=OFF -DVORBLEXTER_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j "$workers" --target host_event_fuzzer make_seed_corpus

run=$root/build-fuzz/run
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts" "$run/seeds"

# The committed seeds must be what the generator writes for the current event format.
build-fuzz/fuzz/make_seed_corpus "$run/seeds" >/dev/null
for seed in "$run"/seeds/*; do
    if ! cmp -s "$seed" "fuzz/corpus/$(basename "$seed")"; then
        echo "fuzz: fuzz/corpus/$(basename "$seed") differs from make_seed_corpus's" >&2
        exit 1
    fi
done
# New inputs go to the scratch corpus (the first directory); the committed ones are only read.
# A unit that runs 30 s is a hang: the slowest legitimate one (a 16M-frame loop set-up) takes
# well under a second.
status=0
(cd "$run" && "$root/build-fuzz/fuzz/host_event_fuzzer" corpus "$root/fuzz/corpus" \
    "$root/fuzz/regressions" -jobs="$workers" -workers="$workers" \
    -max_total_time="$seconds" -timeout=30 -artifact_prefix="$run/artifacts/" \
    -print_final_stats=1 >"$run/fuzzer.log" 2>&1) || status=$?

total=0
for log in "$run"/fuzz-*.log; do
    grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    total=$((total + ${runs:-0}))
done
echo "fuzz: $workers workers, $seconds s, $total executions"

findings=$(find "$run/artifacts" -type f | wc -l)
if ((status != 0 || findings > 0)) || grep -qE '^(==[0-9]+==ERROR|SUMMARY: |host event check failed)' \
    "$run"/fuzz-*.log; then
    grep -hE -A 30 '^(==[0-9]+==ERROR|host event check failed)' "$run"/fuzz-*.log | head -n 80 || true
    echo "fuzz: FAILED (exit $status, $findings artifacts in $run/artifacts)" >&2
    exit 1
fi
if ((total < min_runs)); then
    echo "fuzz: FAILED: $total executions, fewer than $min_runs" >&2
    exit 1
fi
