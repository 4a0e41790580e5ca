#!/usr/bin/env bash
# The test suite under sanitizers, built with clang-14: every test with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), the VST library, the LV2 bundle and the CLAP module
# instrumented too (the CLAP test host's sessions, the CLAP fuzzer's replayed inputs and its
# real-time test among them), and the thread stress and buffer hand-off tests with
# ThreadSanitizer (build-tsan/). Any report fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
configure=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORBLEXTER_WERROR=ON
    -DVORBLEXTER_BUILD_TOOLS=OFF -DVORBLEXTER_BUILD_BENCHMARKS=OFF -DVORBLEXTER_BUILD_FUZZERS=OFF)

echo "--- AddressSanitizer + UndefinedBehaviorSanitizer: every test"
CXX=clang++-14 cmake -S . -B build-asan "${configure[@]}" \
    -DVORBLEXTER_SANITIZE=address,undefined >/dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:strict_init_order=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "--- ThreadSanitizer: thread stress, and the buffer hand-off beside its releasers"
CXX=clang++-14 cmake -S . -B build-tsan "${configure[@]}" -DVORBLEXTER_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target thread_stress_test retired_buffers_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/thread_stress_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/audit/retired_buffers_test
