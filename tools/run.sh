#!/usr/bin/env bash
# Installs what is missing, builds the converter, and converts the bundled
# sample GIF into out/sample.swf with its test page out/sample.html.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
anivert_install $anivert_packages_build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIVERT_TESTS=OFF -DANIVERT_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p out
./build/app/anivert-cli --test-page -o out samples/sample.gif
./build/tools/swfdump out/sample.swf | head -n 8
