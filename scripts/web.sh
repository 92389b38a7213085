#!/usr/bin/env bash
# Builds the page that runs Tonequill in the browser: the converter library
# compiled to WebAssembly with Debian's Emscripten, from the same sources as
# the native programs, and the page's own files from web/. Leaves a static
# folder, build/web/, for any static web server:
#
#   scripts/web.sh                      builds build/web/
#   (cd build/web && python3 -m http.server 8000)   then open http://localhost:8000/
#                                       (or open build/web/index.html from the disk)
#   scripts/web.sh --test               builds it, then drives the page in
#                                       headless Chromium and compares it with
#                                       the native programs (ends "N passed, N failed")
#
# As root it installs what is missing with apt-get (emscripten; for --test,
# chromium, nodejs and npm); the test's browser driver comes from the npm
# registry, at the version web/test/package-lock.json pins.
set -euo pipefail
cd "$(dirname "$0")/.."
test_page=0
[ "${1:-}" = "--test" ] && test_page=1
jobs="$(nproc)"

TONEQUILL_NEED_WEB=1 TONEQUILL_NEED_WEB_TEST="$test_page" scripts/setup.sh
# Debian's Emscripten runs its JavaScript tools with the Node.js modules of
# Debian's own packages, wherever the node on the PATH comes from.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

mkdir -p build
{
  emcmake cmake -S . -B build/web-build -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_TESTS=OFF &&
    cmake --build build/web-build -j"$jobs" --target tonequill-web
} >build/web-build.log 2>&1 || {
  tail -n 40 build/web-build.log
  echo "the browser build failed; build/web-build.log has it all" >&2
  exit 1
}

rm -rf build/web
mkdir -p build/web
cp web/index.html web/app.js web/style.css build/web/
cp examples/tve.txt build/web/example-tve.txt
# The example mapping file and the worker (the converter, its WebAssembly
# inside, then web/worker.js) as scripts that set a text each, so that the
# page has them without a request, as it must when opened from the disk.
as_script() {
  node -e '
    const fs = require("fs");
    const [name, out, ...files] = process.argv.slice(1);
    const text = files.map((f) => fs.readFileSync(f, "utf8")).join("\n");
    fs.writeFileSync(out, "self." + name + " = " + JSON.stringify(text) + ";\n");
  ' "$@"
}
as_script tonequillExampleMapping build/web/example-mapping.js examples/tve.txt
as_script tonequillWorkerSource build/web/worker-source.js build/web-build/web/tonequill.js web/worker.js
echo "built build/web/ ($(du -sh build/web | cut -f1)): serve it with any static web server"

[ "$test_page" = 1 ] || exit 0

# The native programs to compare with, and the songs: the demo song and the
# fixture songs (every chip, the refused inputs, mapping-file errors).
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$jobs" --target tonequill tonequill-report tonequill-split make-demo make-fixture-songs >build/web-native.log 2>&1 || {
  tail -n 40 build/web-native.log
  exit 1
}
rm -rf build/web-test
mkdir -p build/web-test/songs/demo
build/test/make-demo build/web-test/songs/demo/demo.mid >/dev/null
build/test/make-fixture-songs build/web-test/songs >/dev/null
cp web/test/package.json web/test/package-lock.json web/test/browser_test.mjs build/web-test/
(cd build/web-test && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
node build/web-test/browser_test.mjs build/web build/test build/web-test/songs build/web-test/out
