#!/usr/bin/env bash
# Checks what a user installs: `cmake --install` (programs and manual pages),
# the manual pages' formatting, and the Debian package built with CPack from the
# same build: its name, version, computed dependencies and files. As root it
# also installs the package with dpkg -i, converts the demo song with the
# installed binary, and removes the package again (unless it was installed
# before). Not part of scripts/test.sh: CI runs it from .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

say() { echo "package-check: $*"; }

is_root=0
[ "$(id -u)" -eq 0 ] && is_root=1
needed=()
command -v dpkg-shlibdeps >/dev/null 2>&1 || needed+=(dpkg-dev)
command -v groff >/dev/null 2>&1 || needed+=(groff-base)
command -v man >/dev/null 2>&1 || needed+=(man-db)
if [ ${#needed[@]} -gt 0 ]; then
  if [ "$is_root" -ne 1 ]; then
    say "SKIPPED: building the package needs ${needed[*]}, which only root can install (apt-get install ${needed[*]})"
    exit 0
  fi
  say "installing: ${needed[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fi
scripts/setup.sh

jobs="$(nproc)"
build="$root/build/release"
work="$root/build/package-check"
version="$(sed -n 's/.*kVersion = "\([0-9.]*\)".*/\1/p' src/common/version.h)"
rm -rf "$work"
mkdir -p "$work"

passed=0
failed=0
pass() { passed=$((passed + 1)); say "ok: $*"; }
fail() { failed=$((failed + 1)); say "FAILED: $*"; }
check() {  # description command...
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

say "building version $version in build/release"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_TESTS=OFF >/dev/null
# Only the targets scripts/demo.sh builds: that must be enough to install.
cmake --build "$build" -j"$jobs" --target tonequill tonequill-report tonequill-split make-demo >/dev/null

check "CHANGELOG.md says what version $version added" grep -q "^## $version - " CHANGELOG.md

# cmake --install into a staging folder.
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr/local >/dev/null
for f in bin/tonequill bin/tonequill-report bin/tonequill-split share/man/man1/tonequill.1.gz \
  share/man/man1/tonequill-split.1.gz share/doc/tonequill/changelog.gz share/doc/tonequill/README.md \
  share/doc/tonequill/examples/tve.txt; do
  check "cmake --install puts $f in place" test -f "$stage/usr/local/$f"
done
check "the installed binary is executable" test -x "$stage/usr/local/bin/tonequill"

# tonequill-split's manual page: version filled in, formats without a warning.
gzip -dc "$stage/usr/local/share/man/man1/tonequill-split.1.gz" >"$work/tonequill-split.1"
check "tonequill-split's manual page names version $version" \
  grep -q "^\.TH TONEQUILL-SPLIT 1 \"[0-9-]*\" \"tonequill $version\"" "$work/tonequill-split.1"
groff -man -t -ww -z "$work/tonequill-split.1" 2>"$work/groff-split-warnings.txt" || true
check "groff formats tonequill-split's manual page without a warning" test ! -s "$work/groff-split-warnings.txt"

# The manual page: version and date filled in, formats without a warning,
# and has every section a reader looks for.
manual="$stage/usr/local/share/man/man1/tonequill.1.gz"
gzip -dc "$manual" >"$work/tonequill.1"
check "the manual page's title line names version $version" \
  grep -q "^\.TH TONEQUILL 1 \"[0-9-]*\" \"tonequill $version\"" "$work/tonequill.1"
groff -man -t -ww -z "$work/tonequill.1" 2>"$work/groff-warnings.txt" || true
if [ -s "$work/groff-warnings.txt" ]; then
  fail "groff warns about the manual page:"
  sed 's/^/  /' "$work/groff-warnings.txt" | head -n 20
else
  pass "groff formats the manual page without a warning"
fi
MANWIDTH=80 man -l "$manual" >"$work/manual.txt" 2>"$work/man-errors.txt" || true
check "man -l reads the manual page without an error" test ! -s "$work/man-errors.txt"
missing=""
for section in NAME SYNOPSIS DESCRIPTION "MAPPING FILE" "\[EvMap\]" "\[E@Map\]" "\[EnMap\]" "\[EmoMap\]" "\[ApMap\]" \
  FILES "EXIT STATUS" EXAMPLES LIMITS; do
  grep -q "^ *$section" "$work/manual.txt" || missing="$missing '$section'"
done
check "the manual has every section${missing:+ (missing:$missing)}" test -z "$missing"
check "the manual's footer shows version $version" grep -q "^tonequill $version " "$work/manual.txt"

# The Debian package.
say "building the Debian package"
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
arch="$(dpkg --print-architecture)"
deb="$work/deb/tonequill_${version}_${arch}.deb"
if [ ! -f "$deb" ]; then
  fail "cpack made no $(basename "$deb")"
  say "$passed passed, $failed failed"
  exit 1
fi
field() { dpkg-deb -f "$deb" "$1"; }
check "package name is tonequill" test "$(field Package)" = tonequill
check "package version is $version" test "$(field Version)" = "$version"
check "package has a description" test -n "$(field Description | sed -n 2p)"
depends="$(field Depends)"
# The programs carry the C++ runtime: the C library is all they need.
check "dependencies are computed (libc6 alone): $depends" \
  bash -c '[[ "$1" == *libc6* && "$1" != *libstdc++* ]]' _ "$depends"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort >"$work/deb-files.txt"
cat >"$work/expected-files.txt" <<EOF
./usr/bin/tonequill
./usr/bin/tonequill-report
./usr/bin/tonequill-split
./usr/share/doc/tonequill/README.md
./usr/share/doc/tonequill/changelog.gz
./usr/share/doc/tonequill/examples/tve.txt
./usr/share/man/man1/tonequill-split.1.gz
./usr/share/man/man1/tonequill.1.gz
EOF
if diff -u "$work/expected-files.txt" "$work/deb-files.txt" >"$work/files.diff"; then
  pass "dpkg-deb -c lists the three programs, the gzip-compressed manual pages and the docs, nothing else"
else
  fail "the package's files differ from what is expected:"
  sed 's/^/  /' "$work/files.diff"
fi
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/tonequill.1.gz | gzip -dc >"$work/deb-tonequill.1"
check "the packaged manual page is the one cmake --install puts in place" cmp -s "$work/tonequill.1" "$work/deb-tonequill.1"

# A song to convert: the demo, with the example mapping file.
song="$work/song"
mkdir -p "$song"
"$build/make-demo" "$song/demo.mid"
cp examples/tve.txt "$song/"
(cd "$song" && "$build/tonequill" demo.mid >/dev/null 2>&1 && mv demo.mml "$work/reference.mml")

if [ "$is_root" -ne 1 ]; then
  say "install part SKIPPED: dpkg -i needs root; the package is $deb"
else
  was_installed=0
  dpkg-query -W -f='${Status}' tonequill 2>/dev/null | grep -q 'install ok installed' && was_installed=1
  if dpkg -i "$deb" >"$work/dpkg-install.txt" 2>&1; then
    pass "dpkg -i installs the package"
    status=0
    (cd "$song" && /usr/bin/tonequill demo.mid >"$work/installed.out" 2>"$work/installed.err") || status=$?
    check "the installed tonequill exits 0 on the demo song" test "$status" = 0
    check "the installed tonequill prints \"Convert done\"" grep -qx "Convert done" "$work/installed.out"
    check "the installed tonequill writes demo.mml, the same as the build's" cmp -s "$song/demo.mml" "$work/reference.mml"
    report_status=0
    (cd "$song" && /usr/bin/tonequill-report demo.mid >"$work/installed-report.out" 2>&1) || report_status=$?
    check "the installed tonequill-report reports on the demo song" \
      bash -c '[ "$1" = 0 ] && grep -q SUMMARY "$2"' _ "$report_status" "$work/installed-report.out"
    check "man finds the installed manual page" test "$(man -w tonequill 2>/dev/null)" = /usr/share/man/man1/tonequill.1.gz
    split_status=0
    (cd "$song" && /usr/bin/tonequill --version >"$work/installed-version.out" 2>&1 &&
      /usr/bin/tonequill-split --version >>"$work/installed-version.out" 2>&1) || split_status=$?
    check "the installed tonequill and tonequill-split name version $version" \
      bash -c '[ "$1" = 0 ] && grep -qx "tonequill $2" "$3" && grep -qx "tonequill-split $2" "$3"' _ \
      "$split_status" "$version" "$work/installed-version.out"
    check "the installed example mapping file is the project's" cmp -s /usr/share/doc/tonequill/examples/tve.txt examples/tve.txt
    if [ "$was_installed" -eq 0 ]; then
      dpkg -r tonequill >/dev/null 2>&1 || true
      check "dpkg -r removes it again" test ! -e /usr/bin/tonequill
    else
      say "tonequill was installed before this check; it is left installed at version $version"
    fi
  else
    fail "dpkg -i failed:"
    sed 's/^/  /' "$work/dpkg-install.txt"
  fi
fi

say "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
