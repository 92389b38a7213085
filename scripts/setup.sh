#!/usr/bin/env bash
# Installs what building (and, with TONEQUILL_NEED_TESTS=1, testing) needs,
# when it is missing (Debian; as root).
set -euo pipefail

needed=()
command -v cmake >/dev/null 2>&1 || needed+=(cmake)
command -v g++ >/dev/null 2>&1 || needed+=(g++)
command -v make >/dev/null 2>&1 || needed+=(make)
if [ "${TONEQUILL_NEED_TESTS:-0}" = 1 ]; then
  [ -f /usr/include/gtest/gtest.h ] || needed+=(libgtest-dev)
  # The report's SVG test parses the picture and renders it.
  command -v xmllint >/dev/null 2>&1 || needed+=(libxml2-utils)
  command -v rsvg-convert >/dev/null 2>&1 || needed+=(librsvg2-bin)
fi
if [ "${TONEQUILL_NEED_BENCH:-0}" = 1 ]; then
  # bench/run.sh only: Google Benchmark, the two programs it is timed against, GNU time
  [ -f /usr/include/benchmark/benchmark.h ] || needed+=(libbenchmark-dev)
  command -v midi2abc >/dev/null 2>&1 || needed+=(abcmidi)
  command -v midicsv >/dev/null 2>&1 || needed+=(midicsv)
  [ -x /usr/bin/time ] || needed+=(time)
fi
if [ "${TONEQUILL_NEED_WEB:-0}" = 1 ]; then
  # scripts/web.sh: Emscripten (it brings the Node.js modules it runs with)
  command -v emcc >/dev/null 2>&1 || needed+=(emscripten)
  [ -d /usr/share/nodejs/acorn ] || needed+=(node-acorn)
fi
if [ "${TONEQUILL_NEED_WEB_TEST:-0}" = 1 ]; then
  # scripts/web.sh --test: the browser, and Node.js with npm for its driver
  [ -x /usr/bin/chromium ] || needed+=(chromium)
  command -v node >/dev/null 2>&1 || needed+=(nodejs)
  command -v npm >/dev/null 2>&1 || needed+=(npm)
fi
if [ "${TONEQUILL_NEED_CLANG:-0}" = 1 ]; then
  command -v clang++ >/dev/null 2>&1 || needed+=(clang)
  [ -n "$(find /usr/lib/llvm-*/lib/clang -name 'libclang_rt.fuzzer*.a' 2>/dev/null | head -n 1)" ] || needed+=(libclang-rt-dev)
fi

if [ ${#needed[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${needed[*]} (run as root, or install them with apt-get)" >&2
    exit 1
  fi
  echo "installing: ${needed[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${needed[@]}" >/dev/null
fi
