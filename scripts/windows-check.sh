#!/usr/bin/env bash
# Cross-builds tonequill.exe and tonequill-split.exe for 64-bit Windows with
# MinGW-w64, packs them into the Windows zip, and checks under wine that the
# zipped tonequill.exe runs alone and converts exactly like the Linux build:
# on the demo song and on the fixture songs
# (tests/support/make_fixture_songs.cpp) the .mml files must be
# byte-identical, and the exit status, standard output and standard error the
# same (Windows writes CR LF on its console streams, so those are compared
# without CR); tonequill-split.exe must write the same format-1 file as the
# Linux build. It also checks that backslash paths find the mapping file
# beside the input.
#
# Needs g++-mingw-w64-x86-64-posix and wine; installs them with apt-get when
# run as root, and otherwise skips with a clear line. Not part of
# scripts/test.sh: CI runs it from .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

say() { echo "windows-check: $*"; }

find_mingw() {
  command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true
}

needed=()
[ -n "$(find_mingw)" ] || needed+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64)
command -v wine >/dev/null 2>&1 || needed+=(wine wine64)
if [ ${#needed[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    say "SKIPPED: the Windows build needs ${needed[*]}, which only root can install (apt-get install ${needed[*]})"
    exit 0
  fi
  say "installing: ${needed[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fi
scripts/setup.sh

jobs="$(nproc)"
work="$root/build/windows-check"
linux_build="$root/build/release"
windows_build="$root/build/windows"
version="$(sed -n 's/.*kVersion = "\([0-9.]*\)".*/\1/p' src/common/version.h)"

say "building for Linux in build/release"
cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_TESTS=OFF >/dev/null
cmake --build "$linux_build" -j"$jobs" --target tonequill tonequill-split make-demo make-fixture-songs >/dev/null

say "cross-building for Windows in build/windows"
cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_TESTS=OFF >/dev/null
cmake --build "$windows_build" -j"$jobs" --target tonequill tonequill-split >/dev/null
(cd "$windows_build" && cpack -G ZIP >/dev/null)
zip="$windows_build/tonequill-$version-win64.zip"

rm -rf "$work"
mkdir -p "$work/dist" "$work/fixtures" "$work/linux" "$work/windows" "$work/streams"

passed=0
failed=0
pass() { passed=$((passed + 1)); say "ok: $*"; }
fail() { failed=$((failed + 1)); say "FAILED: $*"; }

# The zip: the programs and their texts, nothing that needs an installer.
if [ -f "$zip" ]; then
  (cd "$work/dist" && cmake -E tar xf "$zip")
  dist="$work/dist/tonequill-$version-win64"
  missing=""
  for f in tonequill.exe tonequill-split.exe README.md CHANGELOG.md LICENSE tonequill-manual.txt examples/tve.txt; do
    [ -f "$dist/$f" ] || missing="$missing $f"
  done
  if [ -z "$missing" ]; then pass "the zip holds tonequill.exe, tonequill-split.exe, README.md, CHANGELOG.md, LICENSE, the manual and examples/tve.txt"
  else fail "the zip lacks:$missing"; fi
  if grep -q "tonequill $version" "$dist/tonequill-manual.txt" 2>/dev/null; then pass "the zipped manual names version $version"
  else fail "the zipped manual does not name version $version"; fi
else
  fail "cpack made no $zip"
  dist="$windows_build"
fi
exe="$dist/tonequill.exe"
linux_bin="$linux_build/tonequill"

# Linked statically: only DLLs that come with Windows itself.
objdump="$(command -v x86_64-w64-mingw32-objdump || command -v objdump)"
for program in tonequill.exe tonequill-split.exe; do
  dlls="$("$objdump" -p "$dist/$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u | tr '\n' ' ')"
  foreign="$(echo "$dlls" | tr ' ' '\n' | grep -v -i -E '^(kernel32|msvcrt|advapi32|user32|shell32|ws2_32|ntdll|ucrtbase|api-ms-win-.*)\.dll$' | grep . || true)"
  if [ -z "$foreign" ]; then pass "$program needs only system DLLs: $dlls"
  else fail "$program needs DLLs that Windows lacks: $(echo "$foreign" | tr '\n' ' ')"; fi
done

export WINEDEBUG=-all
export WINEPREFIX="$work/wineprefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
say "starting wine (the first start sets up a fresh prefix and takes a while)"
timeout 600 wine wineboot --init >/dev/null 2>&1 || true
wineserver -p 60 >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

# Runs one program in a folder: status, standard output, standard error.
run_linux() {  # name folder args...
  local name="$1" dir="$2"
  shift 2
  local status=0
  (cd "$dir" && "$linux_bin" "$@" >"$work/streams/$name.linux.out" 2>"$work/streams/$name.linux.err") || status=$?
  echo "$status" >"$work/streams/$name.linux.status"
}
run_windows() {  # name folder args...
  local name="$1" dir="$2"
  shift 2
  local status=0
  (cd "$dir" && timeout 120 wine "$exe" "$@" >"$work/streams/$name.windows.raw-out" 2>"$work/streams/$name.windows.raw-err") || status=$?
  tr -d '\r' <"$work/streams/$name.windows.raw-out" >"$work/streams/$name.windows.out"
  tr -d '\r' <"$work/streams/$name.windows.raw-err" >"$work/streams/$name.windows.err"
  echo "$status" >"$work/streams/$name.windows.status"
}

# Both runs of `name` ended alike; prints what differs.
same_streams() {  # name [sed expression applied to the Windows standard error]
  local name="$1" fix="${2:-}" s="$work/streams/$1" ok=0
  if ! cmp -s "$s.linux.status" "$s.windows.status"; then
    echo "  exit status: Linux $(cat "$s.linux.status"), Windows $(cat "$s.windows.status")"; ok=1
  fi
  if ! diff -u "$s.linux.out" "$s.windows.out" >"$s.out.diff"; then
    echo "  standard output differs:"; head -n 20 "$s.out.diff" | sed 's/^/    /'; ok=1
  fi
  if [ -n "$fix" ]; then sed -i "$fix" "$s.windows.err"; fi
  if ! diff -u "$s.linux.err" "$s.windows.err" >"$s.err.diff"; then
    echo "  standard error differs:"; head -n 20 "$s.err.diff" | sed 's/^/    /'; ok=1
  fi
  return $ok
}

# Every file the two runs left in their folders is the same, byte for byte.
same_files() {  # linux-folder windows-folder
  local a="$1" b="$2" ok=0 f
  if ! diff -r -q "$a" "$b" >/dev/null 2>&1; then
    diff -r -q "$a" "$b" 2>&1 | sed 's/^/  /' | head -n 10
    for f in $(cd "$a" && find . -name '*.mml'); do
      [ -f "$b/$f" ] && ! cmp -s "$a/$f" "$b/$f" && cmp "$a/$f" "$b/$f" 2>&1 | sed 's/^/  /'
    done
    ok=1
  fi
  return $ok
}

mml_files=0
compare_song() {  # name source-folder args...
  local name="$1" source="$2"
  shift 2
  cp -r "$source" "$work/linux/$name"
  cp -r "$source" "$work/windows/$name"
  run_linux "$name" "$work/linux/$name" "$@"
  run_windows "$name" "$work/windows/$name" "$@"
  if same_streams "$name" && same_files "$work/linux/$name" "$work/windows/$name"; then
    mml_files=$((mml_files + $(cd "$work/linux/$name" && find . -name '*.mml' | wc -l)))
    pass "$name: same output ($(tr '\n' ' ' <"$work/streams/$name.linux.out")status $(cat "$work/streams/$name.linux.status"))"
  else
    fail "$name: the Windows build differs from the Linux build"
  fi
}

say "comparing the builds on the demo song and the fixture songs"
mkdir -p "$work/fixtures/demo"
"$linux_build/make-demo" "$work/fixtures/demo/demo.mid"
cp examples/tve.txt "$work/fixtures/demo/"
compare_song demo "$work/fixtures/demo" demo.mid

"$linux_build/make-fixture-songs" "$work/fixtures"
for fixture in "$work"/fixtures/*/; do
  name="$(basename "$fixture")"
  [ "$name" = demo ] && continue
  compare_song "$name" "$fixture" song.mid
done

mkdir -p "$work/fixtures/usage"
compare_song usage "$work/fixtures/usage"

# tonequill-split.exe writes the same format-1 file, which converts alike.
linux_bin="$linux_build/tonequill-split" exe="$dist/tonequill-split.exe" \
  compare_song split "$work/fixtures/refused-format0" song.mid
compare_song split-converted "$work/linux/split" song-f1.mid
# The input is never replaced, whatever path names it.
exe="$dist/tonequill-split.exe" run_windows split-self "$work/windows/split" song.mid '.\SONG.MID'
if [ "$(cat "$work/streams/split-self.windows.status")" = 1 ] \
  && grep -q "is the input itself" "$work/streams/split-self.windows.err" \
  && cmp -s "$work/windows/split/song.mid" "$work/fixtures/refused-format0/song.mid"; then
  pass "Windows: tonequill-split.exe refuses to write over its input as .\\SONG.MID"
else
  fail "Windows: tonequill-split.exe song.mid .\\SONG.MID"
fi

# Converting again replaces the document in place and leaves no temporary file.
cp "$work/windows/demo/demo.mml" "$work/streams/demo.first.mml"
run_windows demo-again "$work/windows/demo" demo.mid
if cmp -s "$work/windows/demo/demo.mml" "$work/streams/demo.first.mml" \
  && [ "$(cat "$work/streams/demo-again.windows.status")" = 0 ] \
  && [ -z "$(find "$work/windows/demo" -name '*.tmp*')" ]; then
  pass "a second conversion on Windows replaces demo.mml with the same bytes and leaves no temporary file"
else
  fail "a second conversion on Windows did not replace demo.mml cleanly"
fi

# Paths with backslashes: the mapping file beside the input is found. The
# working directory holds a different tve.txt, which must not be used.
say "checking Windows paths"
paths_source="$work/fixtures/paths"
mkdir -p "$paths_source/songs"
cp "$work/fixtures/full-mapping/song.mid" "$paths_source/songs/tune.mid"
cp "$work/fixtures/full-mapping/tve.txt" "$paths_source/songs/tve.txt"
printf '[EvMap]\n' >"$paths_source/tve.txt"
for form in backslash slash; do
  cp -r "$paths_source" "$work/windows/paths-$form"
done
cp -r "$paths_source" "$work/linux/paths"
run_linux paths "$work/linux/paths" songs/tune.mid
reference="$work/linux/paths/songs/tune.mml"
if grep -q '^\[TVE\] path=songs/tve.txt$' "$work/streams/paths.linux.err" && [ -f "$reference" ]; then
  pass "Linux: songs/tune.mid uses songs/tve.txt"
else
  fail "Linux: songs/tune.mid did not use songs/tve.txt"
fi

run_windows paths-backslash "$work/windows/paths-backslash" 'songs\tune.mid'
cp "$work/streams/paths.linux.out" "$work/streams/paths-backslash.linux.out"
cp "$work/streams/paths.linux.err" "$work/streams/paths-backslash.linux.err"
cp "$work/streams/paths.linux.status" "$work/streams/paths-backslash.linux.status"
if grep -q '^\[TVE\] path=songs\\tve.txt$' "$work/streams/paths-backslash.windows.err" \
  && same_streams paths-backslash 's#songs\\tve.txt#songs/tve.txt#' \
  && cmp "$reference" "$work/windows/paths-backslash/songs/tune.mml"; then
  pass 'Windows: songs\tune.mid uses songs\tve.txt and writes songs\tune.mml as Linux does'
else
  fail 'Windows: songs\tune.mid'
fi

run_windows paths-slash "$work/windows/paths-slash" songs/tune.mid
cp "$work/streams/paths.linux.out" "$work/streams/paths-slash.linux.out"
cp "$work/streams/paths.linux.err" "$work/streams/paths-slash.linux.err"
cp "$work/streams/paths.linux.status" "$work/streams/paths-slash.linux.status"
if same_streams paths-slash && cmp "$reference" "$work/windows/paths-slash/songs/tune.mml"; then
  pass "Windows: songs/tune.mid works with forward slashes too"
else
  fail "Windows: songs/tune.mid"
fi

# An absolute drive path, run from a folder without a mapping file.
drive="$WINEPREFIX/drive_c/tonequill-check"
rm -rf "$drive"
mkdir -p "$drive/songs" "$work/windows/elsewhere"
cp "$paths_source/songs/tune.mid" "$paths_source/songs/tve.txt" "$drive/songs/"
run_windows paths-drive "$work/windows/elsewhere" 'C:\tonequill-check\songs\tune.mid'
if grep -q '^\[TVE\] path=C:\\tonequill-check\\songs\\tve.txt$' "$work/streams/paths-drive.windows.err" \
  && grep -q '^\[TVE\] OPEN OK$' "$work/streams/paths-drive.windows.err" \
  && [ "$(cat "$work/streams/paths-drive.windows.out")" = "Convert done" ] \
  && cmp "$reference" "$drive/songs/tune.mml"; then
  pass 'Windows: C:\tonequill-check\songs\tune.mid uses the tve.txt beside it and writes the same document'
else
  fail 'Windows: C:\tonequill-check\songs\tune.mid'
  sed 's/^/  /' "$work/streams/paths-drive.windows.err" | head -n 5
fi

if [ "$mml_files" -lt 8 ]; then
  fail "only $mml_files documents were compared; the fixtures should give more"
else
  say "compared $mml_files .mml documents byte for byte"
fi
say "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
