#!/usr/bin/env bash
# The longer checks, after scripts/test.sh: every test once more under
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails the run),
# then each fuzz target for a bounded time (FUZZ_SECONDS, 60 by default;
# FUZZ_SECONDS=0 leaves the fuzzers out). About 20 minutes on 2 cores.
set -euo pipefail
cd "$(dirname "$0")/.."
TONEQUILL_NEED_TESTS=1 scripts/setup.sh
jobs="$(nproc)"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTONEQUILL_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs"

if [ "${FUZZ_SECONDS:-60}" != 0 ]; then
  scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi
