#!/usr/bin/env bash
# Times Tonequill on generated songs against programs that read the same files
# as whole processes: midi2abc (abcmidi, converts MIDI to ABC notation),
# midicsv (parses MIDI and prints it as CSV), and a floor (bench/floor_copy.cpp)
# that only reads the input into memory and writes a file of the size of
# Tonequill's output. Builds in Release, writes the songs to build/bench/songs
# (again whenever make-bench-song is rebuilt), checks that Tonequill converts
# every one of them, then times the programs in turns (Tonequill, midi2abc,
# midicsv, floor, Tonequill, ...), so that a machine whose speed drifts slows
# each of them alike; in the folder they take turns on each song, and a run of
# a program is the sum of its 150 processes. Each ratio is the median of the
# ratios of the runs taken side by side, not the ratio of the medians.
#
# The songs (make-bench-song in bench/):
#   folder      150 songs of the kind a musician keeps, 200 to 30,000 notes,
#               most of a few thousand, converted one process per song in a loop
#   dense-100k  100,000 notes, about 360,000 bends, 100,000 controller changes,
#               2,000 tempo changes, 8 tracks sent to the expansion chips
#   dense-1m    the same with a million notes
#   long-note   one note of 16 million frames with a bend every 4 ticks
#
#   bench/run.sh            the table and the targets
#   bench/run.sh --micro    then the micro benchmarks of the stages
#   RUNS=21 bench/run.sh    more runs of dense-100k (default 11)
#   RUNS_BIG=9              runs of the folder and dense-1m (default 5)
#   RUNS_LONG=5             runs of long-note (default 3)
#
# On 2 shared cores the whole run takes about 3 minutes once built (160 to
# 200 s measured; the first build takes several more; the songs are written
# once), more than half of it in long-note. midicsv is left out
# on long-note, where it alone would take 10 s a run.
#
# scripts/setup.sh installs what is missing (abcmidi, midicsv, GNU time,
# Google Benchmark and the build tools) with apt-get, as root.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${RUNS:-11}"
runs_big="${RUNS_BIG:-5}"
runs_long="${RUNS_LONG:-3}"
build=build/bench
songs="$build/songs"
script_start=$EPOCHREALTIME

TONEQUILL_NEED_BENCH=1 scripts/setup.sh

mkdir -p "$build"
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_BENCH=ON -DTONEQUILL_TESTS=OFF &&
       cmake --build "$build" -j"${JOBS:-2}" --target tonequill make-bench-song floor-copy micro-benchmarks; } >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  exit 1
fi

tonequill="$PWD/$build/tonequill"
floor="$PWD/$build/bench/floor-copy"
generator="$build/bench/make-bench-song"

# name shape notes: the songs timed one at a time
song_list=(
  "dense-100k dense 100000"
  "dense-1m dense 1000000"
  "long-note long-note 1"
)
mkdir -p "$songs"
for entry in "${song_list[@]}"; do
  read -r name shape notes <<<"$entry"
  song="$songs/$name.mid"
  [ -f "$song" ] && [ "$song" -nt "$generator" ] || "$generator" "$shape" "$notes" "$song" --mapping "$songs/tve.txt"
done
[ -f "$songs/folder/notes.txt" ] && [ "$songs/folder/notes.txt" -nt "$generator" ] || {
  rm -rf "$songs/folder"
  "$generator" folder 150 "$songs/folder"
}
folder_files=()
declare -A notes_of
while read -r file count; do
  folder_files+=("$songs/folder/$file")
  notes_of[$songs/folder/$file]=$count
done <"$songs/folder/notes.txt"

# --- One checked run of Tonequill on every song: exit status 0 and "Convert
# done", the output's size (the floor writes as much) and the peak memory.
declare -A out_bytes peak_kb
failures=()
check() {  # song.mid
  local file=$1 status=0 stdout
  stdout=$(/usr/bin/time -f %M -o "$build/peak.txt" "$tonequill" "$file" 2>/dev/null) || status=$?
  if [ "$status" -ne 0 ] || ! grep -q 'Convert done' <<<"$stdout"; then
    failures+=("$file: exit status $status, $(tail -n 1 <<<"$stdout")")
    out_bytes[$file]=0
  else
    out_bytes[$file]=$(stat -c %s "${file%.*}.mml")
  fi
  peak_kb[$file]=$(tail -n 1 "$build/peak.txt")
}
for file in "${folder_files[@]}"; do check "$file"; done
declare -A check_s
for entry in "${song_list[@]}"; do
  read -r name shape notes <<<"$entry"
  check_start=$EPOCHREALTIME
  check "$songs/$name.mid"
  check_s[$name]=$(awk -v a="$check_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
done
# midi2abc must read each song through, or its times mean nothing.
for file in "${folder_files[@]}" "$songs"/dense-*.mid "$songs/long-note.mid"; do
  midi2abc "$file" >/dev/null 2>&1 || failures+=("$file: midi2abc fails")
done

# --- Timing
run_tonequill() { "$tonequill" "$1" >/dev/null 2>&1 || true; }
run_midi2abc() { midi2abc "$1" >/dev/null 2>&1 || true; }
run_midicsv() { midicsv "$1" >/dev/null 2>&1 || true; }
run_floor() { "$floor" "$1" "$1.floor" "${out_bytes[$1]}" || true; }

# One round: every program on every file, the programs taking turns on each
# file; prints each program's total in microseconds, in the order given.
time_round() {  # "program..." file...
  local -a programs total
  read -r -a programs <<<"$1"
  shift
  local file p start end
  for p in "${!programs[@]}"; do total[$p]=0; done
  for file in "$@"; do
    for p in "${!programs[@]}"; do
      start=${EPOCHREALTIME/./}
      "run_${programs[$p]}" "$file"
      end=${EPOCHREALTIME/./}
      total[$p]=$((total[$p] + end - start))
    done
  done
  echo "${total[*]}"
}

# median of the arguments
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# median of the ratios a[i] / b[i] of two lists given as "a1 a2 ..." "b1 b2 ..."
median_ratio() {
  local -a a b r=()
  read -r -a a <<<"$1"
  read -r -a b <<<"$2"
  for i in "${!a[@]}"; do r+=("$(awk -v x="${a[$i]}" -v y="${b[$i]}" 'BEGIN { printf "%.6f", x / y }')"); done
  median "${r[@]}"
}

declare -A ratio_abc ratio_floor
printf '%-11s %9s %7s %9s %9s %9s %9s %8s %8s %8s %9s %10s\n' \
  song notes MiB "tq ms" "abc ms" "csv ms" "floor ms" "tq/abc" "tq/csv" "tq/floor" "peak MiB" "bytes/note"
bench_song() {  # name runs with_midicsv file...
  local name=$1 n=$2 with_csv=$3
  shift 3
  local -a programs=(tonequill midi2abc)
  [ "$with_csv" = yes ] && programs+=(midicsv)
  programs+=(floor)
  local -A samples=()
  local -a totals
  for ((i = 0; i < n; i++)); do
    read -r -a totals <<<"$(time_round "${programs[*]}" "$@")"
    for p in "${!programs[@]}"; do samples[${programs[$p]}]+="${totals[$p]} "; done
  done
  local tq abc csv=- fl r_csv=- notes=0 bytes=0 peak=0 file
  tq=$(median ${samples[tonequill]})
  abc=$(median ${samples[midi2abc]})
  fl=$(median ${samples[floor]})
  ratio_abc[$name]=$(median_ratio "${samples[tonequill]}" "${samples[midi2abc]}")
  ratio_floor[$name]=$(median_ratio "${samples[tonequill]}" "${samples[floor]}")
  if [ "$with_csv" = yes ]; then
    csv=$(awk -v us="$(median ${samples[midicsv]})" 'BEGIN { printf "%.1f", us / 1000 }')
    r_csv=$(awk -v r="$(median_ratio "${samples[tonequill]}" "${samples[midicsv]}")" 'BEGIN { printf "%.2f", r }')
  fi
  for file in "$@"; do
    notes=$((notes + ${notes_of[$file]}))
    bytes=$((bytes + $(stat -c %s "$file")))
    [ "${peak_kb[$file]}" -gt "$peak" ] && peak=${peak_kb[$file]}
  done
  peak_bytes_per_note[$name]=$(awk -v kb="$peak" -v notes="${notes_of[$1]}" 'BEGIN { printf "%.0f", kb * 1024 / notes }')
  local per_note=${peak_bytes_per_note[$name]}
  [ $# -gt 1 ] || [ "$name" = long-note ] && per_note=-
  awk -v n="$name" -v notes="$notes" -v bytes="$bytes" -v tq="$tq" -v abc="$abc" -v csv="$csv" -v fl="$fl" \
    -v rabc="${ratio_abc[$name]}" -v rcsv="$r_csv" -v rfl="${ratio_floor[$name]}" -v kb="$peak" -v pn="$per_note" \
    'BEGIN { printf "%-11s %9d %7.1f %9.1f %9.1f %9s %9.1f %8.2f %8s %8.1f %9.1f %10s\n",
             n, notes, bytes / 1048576, tq / 1000, abc / 1000, csv, fl / 1000, rabc, rcsv, rfl, kb / 1024, pn }'
}
declare -A peak_bytes_per_note
for entry in "${song_list[@]}"; do
  read -r name shape notes <<<"$entry"
  notes_of[$songs/$name.mid]=$notes
done

bench_song folder "$runs_big" yes "${folder_files[@]}"
bench_song dense-100k "$runs" yes "$songs/dense-100k.mid"
# Two more peak measurements of dense-1m, whose memory is a target: the median of three.
dense_1m="$songs/dense-1m.mid"
more_peaks=()
for i in 1 2; do more_peaks+=("$(/usr/bin/time -f %M "$tonequill" "$dense_1m" 2>&1 >/dev/null | tail -n 1)"); done
peak_kb[$dense_1m]=$(median "${peak_kb[$dense_1m]}" "${more_peaks[@]}")
bench_song dense-1m "$runs_big" yes "$dense_1m"
bench_song long-note "$runs_long" no "$songs/long-note.mid"
rm -f "${folder_files[@]/%/.floor}" "$songs"/*.mid.floor

echo
echo "first run, under GNU time: dense-100k ${check_s[dense-100k]} s, dense-1m ${check_s[dense-1m]} s," \
  "long-note ${check_s[long-note]} s"
target() {  # label value limit
  awk -v label="$1" -v v="$2" -v limit="$3" \
    'BEGIN { printf "%-62s %8.2f  (at most %s)  %s\n", label, v, limit, (v <= limit) ? "met" : "not met" }'
}
echo "targets:"
target "folder, one process a song: tonequill / midi2abc" "${ratio_abc[folder]}" 1.0
target "dense-100k: tonequill / midi2abc" "${ratio_abc[dense-100k]}" 0.5
target "dense-1m: tonequill / midi2abc" "${ratio_abc[dense-1m]}" 0.4
awk -v v="${peak_bytes_per_note[dense-1m]}" \
  'BEGIN { printf "%-62s %8d  (under 150)  %s\n", "dense-1m: peak memory, bytes a note", v, (v < 150) ? "met" : "not met" }'
target "long-note: tonequill / floor" "${ratio_floor[long-note]}" 10
awk -v a="${ratio_floor[folder]}" -v b="${ratio_floor[dense-100k]}" -v c="${ratio_floor[dense-1m]}" -v d="${ratio_floor[long-note]}" \
  'BEGIN { printf "tonequill / floor, the limit aimed at: folder %.1f, dense-100k %.1f, dense-1m %.1f, long-note %.1f\n", a, b, c, d }'
if [ ${#failures[@]} -gt 0 ]; then
  echo "FAILED:"
  printf '  %s\n' "${failures[@]}"
fi
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//');" \
  "runs: dense-100k $runs, folder and dense-1m $runs_big, long-note $runs_long;" \
  "$(awk -v a="$script_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }') s in all"

if [ "${1:-}" = "--micro" ]; then
  echo
  "$build/bench/micro-benchmarks"
fi
