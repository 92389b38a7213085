#!/usr/bin/env bash
# Builds the converter, the report and every test, runs all unit and
# end-to-end tests, and ends with one line: "N passed, N failed". A few
# minutes on a fresh 2-core machine (most of it the first build). The longer
# checks (sanitizers, fuzzing) are scripts/deep-checks.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
TONEQUILL_NEED_TESTS=1 scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$jobs" >build/test-build.log 2>&1 || {
  tail -n 40 build/test-build.log
  echo "0 passed, 1 failed (the build failed; build/test-build.log has it all)"
  exit 1
}
status=0
ctest --test-dir build/test --output-on-failure -j"$jobs" >build/test.log 2>&1 || status=$?
summary="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' build/test.log | tail -n 1)"
if [ -z "$summary" ]; then
  tail -n 40 build/test.log
  echo "0 passed, 1 failed (ctest gave no summary; build/test.log has it all)"
  exit 1
fi
failed="$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+)/\1/' <<<"$summary")"
total="$(sed -E 's/.* failed out of ([0-9]+)/\1/' <<<"$summary")"
if [ "$failed" -ne 0 ] || [ "$status" -ne 0 ]; then
  sed -n '/The following tests FAILED/,$p' build/test.log
  grep -B2 -A30 -E '\*\*\*Failed|Failure' build/test.log | head -n 80 || true
fi
echo "$((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
