#!/usr/bin/env bash
# A bounded run of the host-event fuzzer (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer,
# clang-14): one worker per core until the workers together have run FUZZ_MIN_RUNS inputs (one
# million by default), starting from the committed corpus and regressions, which it only reads.
# FUZZ_SECONDS caps the run's time. Fails on any finding (crash, broken check, leak, timeout,
# out-of-memory) and when the workers together report fewer than FUZZ_MIN_RUNS executions: a
# fuzzer that stalls on slow inputs finds nothing.
#
# What an execution costs, and why the settings are what they are:
# - Every input that does anything creates an effect, and under AddressSanitizer that costs some
#   300-400 us: the effect object (its slice table inside it) and its slice records are about
#   160 KB each, above the sanitizer allocator's largest pooled size (128 KB), so both are
#   freshly mapped and faulted in, page by page, on every creation. A worker doing nothing else
#   would manage under 3000 executions per second; with played audio it manages about 1000.
# - Played frames cost about 0.1 us each (capture and playback with every check on), so the
#   player bounds an input to 16384 frames and 3 effects, and folds accepted beats longer than
#   256 frames (see fuzz/fuzz_core.h); the effect's paths are all reached with short
#   loops, and refused geometries are still played as given.
# - -max_len=512 keeps inputs at a few dozen events (the seeds are written to fit); longer ones
#   mostly meet the frame bound and run slower without reaching anything new.
# - The engine's capture and playback loops are built without comparison tracing (see
#   fuzz/CMakeLists.txt); their edges still count.
# The output checks and both sanitizers stay on in full (leak checks, quarantine and allocation
# stacks at their defaults). Two workers make about 2000 executions per second here, so a million
# take some eight minutes; the 25-minute cap leaves room for a slower machine.
#
# A long local run: FUZZ_SECONDS=28800 FUZZ_MIN_RUNS=0 scripts/stages/fuzz.sh; new inputs collect in
# build-fuzz/run/corpus, findings in build-fuzz/run/artifacts. Merge the inputs that reach new
# edges with build-fuzz/fuzz/host_event_fuzzer -merge=1 -use_counters=0 -max_len=512 fuzz/corpus
# build-fuzz/run/corpus.
#
# Then the LV2 event fuzzer (fuzz/lv2_event_player.h), the same way from fuzz/lv2_corpus and
# fuzz/lv2_regressions, for LV2_FUZZ_SECONDS (two minutes by default), one worker per core. Its
# inputs cost more (up to three instances, their transport and atom parsing besides the effect):
# 250 to 500 executions per second per worker here, so two minutes make 60000 to 120000, and
# fewer than LV2_FUZZ_MIN_RUNS (20000) fail the stage as a stalled fuzzer. Its scratch corpus and findings
# are in build-fuzz/run/lv2/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
seconds=${FUZZ_SECONDS:-1500}
min_runs=${FUZZ_MIN_RUNS:-1000000}
lv2_seconds=${LV2_FUZZ_SECONDS:-120}
lv2_min_runs=${LV2_FUZZ_MIN_RUNS:-20000}
max_len=512
workers=$(nproc)
# Each worker stops after its share of the runs; with no minimum it runs until the time cap.
runs_per_worker=-1
if ((min_runs > 0)); then
    runs_per_worker=$(((min_runs + workers - 1) / workers))
fi

CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORBLEXTER_WERROR=ON -DVORBLEXTER_BUILD_FUZZERS=ON -DVORBLEXTER_BUILD_TESTS=OFF \
    -DVORBLEXTER_BUILD_TOOLS=OFF -DVORBLEXTER_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-fuzz -j "$workers" --target host_event_fuzzer make_seed_corpus \
    lv2_event_fuzzer make_lv2_seed_corpus

run=$root/build-fuzz/run
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts" "$run/seeds" "$run/lv2/corpus" "$run/lv2/artifacts" \
    "$run/lv2/seeds"

# The committed seeds must be what the generator writes for the current event format (it also
# refuses seeds that break a check or do not fit the bounds above).
build-fuzz/fuzz/make_seed_corpus "$run/seeds" >/dev/null
build-fuzz/fuzz/make_lv2_seed_corpus "$run/lv2/seeds" >/dev/null
for seed in "$run"/seeds/* "$run"/lv2/seeds/*; do
    committed=fuzz/corpus/$(basename "$seed")
    if [[ $seed == "$run/lv2/"* ]]; then
        committed=fuzz/lv2_corpus/$(basename "$seed")
    fi
    if ! cmp -s "$seed" "$committed"; then
        echo "fuzz: $committed differs from what its generator writes" >&2
        exit 1
    fi
done
# Runs one fuzzer from its committed corpus and regressions (only read; new inputs go to the
# scratch corpus, the first directory) and fails on any finding or on too few executions.
# The slowest legitimate unit takes a few milliseconds; one that runs 10 s is a hang.
# Arguments: label, fuzzer, committed corpus, regressions, run folder, seconds, runs per worker
# (-1: until the time cap), minimum executions, the text of a broken player check.
fuzz() {
    local label=$1 fuzzer=$2 corpus=$3 regressions=$4 dir=$5 time_cap=$6 per_worker=$7 minimum=$8
    local check=$9 status=0 started=$SECONDS total=0 runs findings log
    (cd "$dir" && "$root/build-fuzz/fuzz/$fuzzer" corpus "$root/$corpus" "$root/$regressions" \
        -jobs="$workers" -workers="$workers" -runs="$per_worker" -max_total_time="$time_cap" \
        -max_len="$max_len" -timeout=10 -artifact_prefix="$dir/artifacts/" \
        -print_final_stats=1 >"$dir/fuzzer.log" 2>&1) || status=$?
    for log in "$dir"/fuzz-*.log; do
        grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        total=$((total + ${runs:-0}))
    done
    echo "fuzz: $label$workers workers, $((SECONDS - started)) s, $total executions"
    findings=$(find "$dir/artifacts" -type f | wc -l)
    if ((status != 0 || findings > 0)) ||
        grep -qE "^(==[0-9]+==ERROR|SUMMARY: |$check)" "$dir"/fuzz-*.log; then
        grep -hE -A 30 "^(==[0-9]+==ERROR|$check)" "$dir"/fuzz-*.log | head -n 80 || true
        echo "fuzz: ${label}FAILED (exit $status, $findings artifacts in $dir/artifacts)" >&2
        exit 1
    fi
    if ((total < minimum)); then
        echo "fuzz: ${label}FAILED: $total executions, fewer than $minimum" >&2
        exit 1
    fi
}

fuzz "" host_event_fuzzer fuzz/corpus fuzz/regressions "$run" "$seconds" "$runs_per_worker" \
    "$min_runs" "host event check failed"
fuzz "LV2: " lv2_event_fuzzer fuzz/lv2_corpus fuzz/lv2_regressions "$run/lv2" "$lv2_seconds" -1 \
    "$lv2_min_runs" "lv2 event check failed"
