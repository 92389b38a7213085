#!/usr/bin/env bash
# Builds tonequill, tonequill-report and tonequill-split and converts the demo song in
# examples/ to examples/demo.mml.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTONEQUILL_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tonequill tonequill-report tonequill-split make-demo
build/make-demo examples/demo.mid
build/tonequill examples/demo.mid
echo "wrote examples/demo.mml"
