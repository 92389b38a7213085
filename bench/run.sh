#!/usr/bin/env bash
# Times Tonequill on generated songs against two programs that read the same
# files as whole processes: midi2abc (abcmidi, converts MIDI to ABC notation)
# and midicsv (parses MIDI and prints it as CSV). Builds in Release, writes the
# songs to build/bench/songs, runs every program RUNS times per song and prints
# one table of medians, with Tonequill's peak memory.
#
#   bench/run.sh            the table
#   bench/run.sh --micro    the table, then the micro benchmarks of the stages
#   RUNS=21 bench/run.sh    more runs per song (default 11)
#
# scripts/setup.sh installs what is missing (abcmidi, midicsv, GNU time,
# Google Benchmark and the build tools) with apt-get, as root.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${RUNS:-11}"
build=build/bench
songs="$build/songs"

TONEQUILL_NEED_BENCH=1 scripts/setup.sh

mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_BENCH=ON -DTONEQUILL_TESTS=OFF &&
       cmake --build "$build" -j"$(nproc)" --target tonequill make-bench-song micro-benchmarks; } >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  exit 1
fi

# name shape notes
song_list=(
  "ordinary-10k ordinary 10000"
  "ordinary-100k ordinary 100000"
  "ordinary-1m ordinary 1000000"
  "long-bends-100k long-bends 100000"
  "bend-curves-100k bend-curves 100000"
)
mkdir -p "$songs"
for entry in "${song_list[@]}"; do
  read -r name shape notes <<<"$entry"
  [ -f "$songs/$name.mid" ] || "$build/bench/make-bench-song" "$shape" "$notes" "$songs/$name.mid" --mapping "$songs/tve.txt"
done

now_ns() { date +%s%N; }

# median of the arguments
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# ms for one run of the command, output and log discarded
time_once() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1
  end=$(now_ns)
  echo $(((end - start) / 1000))
}

tonequill="$PWD/$build/tonequill"
declare -A tq_ms
printf '%-18s %9s %8s %13s %12s %11s %12s %11s %10s %10s\n' \
  file notes MiB "tonequill ms" "midi2abc ms" "midicsv ms" "tq/midi2abc" "tq/midicsv" "peak MiB" "bytes/note"
for entry in "${song_list[@]}"; do
  read -r name shape notes <<<"$entry"
  file="$songs/$name.mid"
  # The three programs take turns, so that a machine whose speed drifts
  # (shared cores, frequency changes) slows each of them alike.
  tq_samples=()
  abc_samples=()
  csv_samples=()
  for ((i = 0; i < runs; i++)); do
    tq_samples+=("$(time_once "$tonequill" "$file")")
    abc_samples+=("$(time_once midi2abc "$file")")
    csv_samples+=("$(time_once midicsv "$file")")
  done
  tq=$(awk -v us="$(median "${tq_samples[@]}")" 'BEGIN { printf "%.1f", us / 1000 }')
  abc=$(awk -v us="$(median "${abc_samples[@]}")" 'BEGIN { printf "%.1f", us / 1000 }')
  csv=$(awk -v us="$(median "${csv_samples[@]}")" 'BEGIN { printf "%.1f", us / 1000 }')
  peak_kb=$(/usr/bin/time -f %M "$tonequill" "$file" 2>&1 >/dev/null | tail -n 1)
  tq_ms[$name]=$tq
  awk -v n="$name" -v notes="$notes" -v bytes="$(stat -c %s "$file")" -v tq="$tq" -v abc="$abc" -v csv="$csv" -v kb="$peak_kb" \
    'BEGIN { printf "%-18s %9d %8.1f %13.1f %12.1f %11.1f %12.2f %11.2f %10.1f %10.0f\n",
             n, notes, bytes / 1048576, tq, abc, csv, tq / abc, tq / csv, kb / 1024, kb * 1024 / notes }'
done

echo
awk -v a="${tq_ms[ordinary-100k]}" -v b="${tq_ms[ordinary-1m]}" \
  'BEGIN { printf "scaling: ordinary-1m takes %.2f times ordinary-100k\n", b / a }'
for name in long-bends-100k bend-curves-100k; do
  awk -v n="$name" -v a="${tq_ms[ordinary-100k]}" -v b="${tq_ms[$name]}" \
    'BEGIN { printf "%s takes %.2f times ordinary-100k (the same number of notes)\n", n, b / a }'
done
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), median of $runs runs"

if [ "${1:-}" = "--micro" ]; then
  echo
  "$build/bench/micro-benchmarks"
fi
