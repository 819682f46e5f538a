#!/usr/bin/env bash
# Installs what is missing, builds, and writes the demo movie into out/.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
anivert_install $anivert_packages_build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p out
./build/tools/swfdemo out/demo.swf
./build/tools/swfdump out/demo.swf
