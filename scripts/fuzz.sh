#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan),
# checks that every seed (the project's fixture songs, the demo and the
# benchmarks' stress songs among them) passes the fuzzers' own time and
# memory limits, and runs each target for a bounded time on those seeds: the
# converter in memory, the MIDI reader, the report on files (its observer,
# the piano roll, the file layer), and tonequill-split's reader and writer. Any finding fails the run; the
# input that caused it is left in build/fuzz/artifacts/.
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
cmake --build "$build" -j"$(nproc)" \
  --target fuzz_convert fuzz_midi_reader fuzz_report fuzz_split make-seeds make-fixture-songs make-bench-song >/dev/null

# The fuzzers' limits: one input may take 10 s and 1 GiB, and inputs are cut at 64 KiB.
limits=(-timeout=10 -rss_limit_mb=1024 -max_len=65536)

# One seed of the converter's targets: the mapping file's length in two bytes
# (big-endian), the mapping file, then the song.
pack() {  # song.mid tve.txt|"" out.bin
  local mapping_length=0
  [ -n "$2" ] && mapping_length=$(stat -c %s "$2")
  [ "$mapping_length" -le 65535 ] || { echo "$2: too long for a seed" >&2; exit 1; }
  printf "\\x$(printf %02x $((mapping_length >> 8)))\\x$(printf %02x $((mapping_length & 255)))" >"$3"
  [ -n "$2" ] && cat "$2" >>"$3"
  cat "$1" >>"$3"
}

rm -rf "$build/seeds" "$build/songs"
"$build/fuzz/make-seeds" "$build/seeds/convert" "$build/seeds/reader"
# The project's own songs are seeds too: the fixture songs (every track,
# chip and refusal), the demo song, and the benchmarks' stress songs.
"$build/make-fixture-songs" "$build/songs/fixtures" >/dev/null
for folder in "$build"/songs/fixtures/*/; do
  name=$(basename "$folder")
  [ -f "$folder/song.mid" ] || continue
  mapping=; [ -f "$folder/tve.txt" ] && mapping="$folder/tve.txt"
  pack "$folder/song.mid" "$mapping" "$build/seeds/convert/fixture-$name.bin"
  cp "$folder/song.mid" "$build/seeds/reader/fixture-$name.mid"
done
pack examples/demo.mid examples/tve.txt "$build/seeds/convert/demo.bin"
cp examples/demo.mid "$build/seeds/reader/demo.mid"
stress=(
  "ordinary 10000"
  "ordinary 100000"
  "long-bends 10000"
  "bend-curves 10000"
)
for entry in "${stress[@]}"; do
  read -r shape notes <<<"$entry"
  song="$build/songs/stress-$shape-$notes.mid"
  "$build/bench/make-bench-song" "$shape" "$notes" "$song" --mapping "$build/songs/bench-tve.txt"
  pack "$song" "$build/songs/bench-tve.txt" "$build/seeds/convert/stress-$shape-$notes.bin"
  cp "$song" "$build/seeds/reader/stress-$shape-$notes.mid"
done

# What each target runs: its binary, its seeds, and the earlier findings
# kept as regression inputs. The report reads the converter's inputs from files.
target_inputs() {
  binary="$build/fuzz/fuzz_$1"; seeds="$build/seeds/$1"; extra=tests/fixtures/fuzz
  if [ "$1" = reader ]; then binary="$build/fuzz/fuzz_midi_reader"; extra=; fi
  if [ "$1" = report ]; then seeds="$build/seeds/convert"; fi
  if [ "$1" = split ]; then seeds="$build/seeds/reader"; extra=; fi
}

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# Every seed must pass the fuzzers' own limits, or the fuzzing below would
# stop on the seeds instead of searching: -runs=0 runs each seed once, cut at
# max_len as the fuzzer cuts it. The stress songs are larger than max_len, so
# those of 10,000 notes also run whole, under the same time and memory limits
# (libFuzzer looks at the clock only every few seconds, so the times it prints
# are checked here as well).
for target in convert reader report split; do
  target_inputs "$target"
  echo "checking the seeds of $target against the fuzzers' limits"
  whole=("$seeds"/stress-*-10000.*)
  "$binary" -runs=0 "${limits[@]}" "$seeds" $extra >"$build/$target-seeds.log" 2>&1 &&
    "$binary" "${limits[@]:0:2}" "${whole[@]}" >>"$build/$target-seeds.log" 2>&1 &&
    awk '/^Executed .* ms$/ { if ($(NF - 1) > 10000) { print "too slow: " $0; bad = 1 } } END { exit bad }' \
      "$build/$target-seeds.log" || {
      tail -n 40 "$build/$target-seeds.log"
      echo "a seed of $target does not pass the fuzzers' limits"
      exit 1
    }
done

mkdir -p "$build/artifacts" "$build/corpus/convert" "$build/corpus/reader" "$build/corpus/report" "$build/corpus/split"
for target in convert reader report split; do
  target_inputs "$target"
  echo "fuzzing $target for ${seconds}s"
  "$binary" -max_total_time="$seconds" "${limits[@]}" \
    -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
    "$build/corpus/$target" "$seeds" $extra 2>"$build/$target.log" || {
      tail -n 60 "$build/$target.log"
      echo "fuzz target $target found a problem (input saved under $build/artifacts/)"
      exit 1
    }
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$target.log" | sed "s/^/$target: /"
done
