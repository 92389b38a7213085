#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and
# runs each for a bounded time on the project's own seeds: the converter in
# memory, the MIDI reader, and the report on files (its observer, the piano
# roll, the file layer, and the stages on two threads). Any finding fails
# the run; the input that caused it is left in build/fuzz/artifacts/.
#   scripts/fuzz.sh            60 seconds per target
#   scripts/fuzz.sh 3600       a longer run
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
TONEQUILL_NEED_CLANG=1 scripts/setup.sh

build=build/fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTONEQUILL_TESTS=OFF -DTONEQUILL_FUZZ=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_convert fuzz_midi_reader fuzz_report make-seeds >/dev/null

"$build/fuzz/make-seeds" "$build/seeds/convert" "$build/seeds/reader"
mkdir -p "$build/artifacts" "$build/corpus/convert" "$build/corpus/reader" "$build/corpus/report"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for target in convert reader report; do
  binary="$build/fuzz/fuzz_convert"
  seeds="$build/seeds/$target"
  extra=tests/fixtures/fuzz  # earlier findings, kept as regression inputs
  if [ "$target" = reader ]; then binary="$build/fuzz/fuzz_midi_reader"; extra=; fi
  # The report reads the converter's inputs from files, on two threads.
  if [ "$target" = report ]; then binary="$build/fuzz/fuzz_report"; seeds="$build/seeds/convert"; fi
  echo "fuzzing $target for ${seconds}s"
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -max_len=65536 \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
    "$build/corpus/$target" "$seeds" $extra 2>"$build/$target.log" || {
      tail -n 60 "$build/$target.log"
      echo "fuzz target $target found a problem (input saved under $build/artifacts/)"
      exit 1
    }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$target.log" | sed "s/^/$target: /"
done
