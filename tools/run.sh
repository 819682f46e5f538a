#!/usr/bin/env bash
# Installs what is missing, builds the converter and the desktop program,
# and converts the bundled sample GIF into out/sample.swf with its test page
# out/sample.html. With --window, and a display, it then opens the main
# window.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
anivert_install $anivert_packages_build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DANIVERT_TESTS=OFF -DANIVERT_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p out
./build/app/anivert-cli --test-page -o out samples/sample.gif
# The head of the listing; sed reads it to the end, so that the listing
# never meets a closed pipe.
./build/tools/swfdump out/sample.swf | sed -n 1,8p
if [ "${1:-}" = "--window" ]; then
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec ./build/app/anivert
    fi
    echo "no display: the window cannot open (./build/app/anivert FILE.gif converts without one)"
fi
