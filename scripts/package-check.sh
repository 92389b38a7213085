#!/usr/bin/env bash
# Checks what a user installs: `cmake --install` (the programs, their manual
# pages and the copyright file), the manual pages' formatting, and the Debian
# package built with CPack from the same build: its name, version,
# maintainer, computed dependencies, files and copyright file. As root it
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
  share/man/man1/tonequill-report.1.gz share/man/man1/tonequill-split.1.gz \
  share/doc/tonequill/changelog.gz share/doc/tonequill/copyright share/doc/tonequill/README.md \
  share/doc/tonequill/examples/tve.txt; do
  check "cmake --install puts $f in place" test -f "$stage/usr/local/$f"
done
check "the installed binary is executable" test -x "$stage/usr/local/bin/tonequill"

# The manual pages: version and date filled in, format without a warning,
# and have every section a reader looks for.
check_manual() {  # page title sections...
  local page="$1" title="$2"
  shift 2
  local manual="$stage/usr/local/share/man/man1/$page.1.gz"
  gzip -dc "$manual" >"$work/$page.1"
  check "$page.1's title line names version $version" \
    grep -q "^\.TH $title 1 \"[0-9-]*\" \"tonequill $version\"" "$work/$page.1"
  groff -man -t -ww -z "$work/$page.1" 2>"$work/$page-groff-warnings.txt" || true
  if [ -s "$work/$page-groff-warnings.txt" ]; then
    fail "groff warns about $page.1:"
    sed 's/^/  /' "$work/$page-groff-warnings.txt" | head -n 20
  else
    pass "groff formats $page.1 without a warning"
  fi
  MANWIDTH=80 man -l "$manual" >"$work/$page-manual.txt" 2>"$work/$page-man-errors.txt" || true
  check "man -l reads $page.1 without an error" test ! -s "$work/$page-man-errors.txt"
  local missing="" section
  for section in "$@"; do
    grep -q -- "^ *$section" "$work/$page-manual.txt" || missing="$missing '$section'"
  done
  check "$page.1 has every section${missing:+ (missing:$missing)}" test -z "$missing"
  check "$page.1's footer shows version $version" grep -q "^tonequill $version " "$work/$page-manual.txt"
}
check_manual tonequill TONEQUILL NAME SYNOPSIS DESCRIPTION "MAPPING FILE" "\[EvMap\]" "\[E@Map\]" "\[EnMap\]" \
  "\[EmoMap\]" "\[ApMap\]" FILES "EXIT STATUS" EXAMPLES LIMITS
check_manual tonequill-report TONEQUILL-REPORT NAME SYNOPSIS DESCRIPTION OPTIONS "--all" "--svg" OUTPUT HINTS \
  PROBLEMS "EXIT STATUS" EXAMPLES FILES "SEE ALSO"
check_manual tonequill-split TONEQUILL-SPLIT NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES "SEE ALSO"

# The copyright file: machine-readable, one license for every file, with its
# text; the years and holders that the sources' LICENSE states.
copyright="$stage/usr/local/share/doc/tonequill/copyright"
check "the copyright file is machine-readable (format 1.0)" \
  grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" "$copyright"
check "the copyright file covers every file" grep -qx "Files: \*" "$copyright"
check "the copyright file names its license and gives its text" \
  bash -c 'license="$(sed -n "s/^License: //p" "$1" | head -n 1)"; [ -n "$license" ] &&
    [ "$(grep -cx "License: $license" "$1")" -ge 2 ] && grep -q "^ Permission is hereby granted" "$1"' _ "$copyright"
check "the copyright file has the years and holders of LICENSE" \
  grep -qx "Copyright: $(sed -n 's/^Copyright //p' LICENSE)" "$copyright"

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
maintainer="$(field Maintainer)"
# A name and a mail address, and not one of the example domains that stand in for one.
check "the maintainer is a name and an address, not a placeholder: $maintainer" \
  bash -c '[[ "$1" =~ ^[^\<\>@]+\ \<[^\<\>@\ ]+@[^\<\>@\ ]+\.[a-z]+\>$ && ! "$1" =~ @(.*\.)?example\.(org|com|net)\> ]]' \
  _ "$maintainer"
depends="$(field Depends)"
# The programs are static: they need no other package.
check "the package depends on nothing (static programs): '$depends'" test -z "$depends"
check "the packaged tonequill is a static program (needs no shared library)" \
  bash -c '! readelf -d "$1" 2>/dev/null | grep -q NEEDED' _ "$build/tonequill"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort >"$work/deb-files.txt"
cat >"$work/expected-files.txt" <<EOF
./usr/bin/tonequill
./usr/bin/tonequill-report
./usr/bin/tonequill-split
./usr/share/doc/tonequill/README.md
./usr/share/doc/tonequill/changelog.gz
./usr/share/doc/tonequill/copyright
./usr/share/doc/tonequill/examples/tve.txt
./usr/share/man/man1/tonequill-report.1.gz
./usr/share/man/man1/tonequill-split.1.gz
./usr/share/man/man1/tonequill.1.gz
EOF
if diff -u "$work/expected-files.txt" "$work/deb-files.txt" >"$work/files.diff"; then
  pass "dpkg-deb -c lists the three programs, their gzip-compressed manual pages, the copyright file and the docs, nothing else"
else
  fail "the package's files differ from what is expected:"
  sed 's/^/  /' "$work/files.diff"
fi
for page in tonequill tonequill-report; do
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$page.1.gz" | gzip -dc >"$work/deb-$page.1"
  check "the packaged $page.1 is the one cmake --install puts in place" cmp -s "$work/$page.1" "$work/deb-$page.1"
done
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/tonequill/copyright >"$work/deb-copyright"
check "the packaged copyright file is the project's" cmp -s packaging/copyright "$work/deb-copyright"

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
      bash -c '[ "$1" = 0 ] && grep -q PROBLEMS "$2" && grep -q SUMMARY "$2"' _ "$report_status" "$work/installed-report.out"
    check "man finds the installed manual page" test "$(man -w tonequill 2>/dev/null)" = /usr/share/man/man1/tonequill.1.gz
    check "man finds the installed report's manual page" \
      test "$(man -w tonequill-report 2>/dev/null)" = /usr/share/man/man1/tonequill-report.1.gz
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
