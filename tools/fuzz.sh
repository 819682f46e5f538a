#!/usr/bin/env bash
# Runs a libFuzzer target for a while: tools/fuzz.sh [TARGET] [SECONDS]
# Targets: fuzz_swf_reader (default), fuzz_bmp_reader, fuzz_gif_reader, fuzz_gif_writer,
# fuzz_convert (a GIF file to a movie, the first byte choosing the options). Inputs that crash are copied into
# tests/data/<target's folder>/, where the regression tests pick them up.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
anivert_install $anivert_packages_build $anivert_packages_clang
target=${1:-fuzz_swf_reader}
seconds=${2:-60}
case "$target" in
    fuzz_swf_reader) regressions=tests/data/swf-fuzz ;;
    fuzz_bmp_reader) regressions=tests/data/bmp-fuzz ;;
    fuzz_gif_reader) regressions=tests/data/gif-fuzz ;;
    fuzz_gif_writer) regressions=tests/data/gif-fuzz ;;
    fuzz_convert) regressions=tests/data/convert-fuzz ;;
    *) echo "unknown target $target"; exit 2 ;;
esac
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DANIVERT_FUZZ=ON -DANIVERT_TESTS=OFF -DANIVERT_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "$target" swfdemo swfsamples
work=build-fuzz/corpus/$target
artifacts=build-fuzz/artifacts/$target
rm -rf "$artifacts"
mkdir -p "$work" "$artifacts"
# Seeds: sample files, and the known regressions.
case "$target" in
    fuzz_swf_reader)
        ./build-fuzz/tools/swfdemo "$work/seed-plain.swf" >/dev/null
        ./build-fuzz/tools/swfdemo "$work/seed-compressed.swf" --compressed >/dev/null
        # Sprites with clip actions in both layouts, sounds and button sounds.
        ./build-fuzz/tools/swfsamples "$work/samples" >/dev/null
        for f in "$work"/samples/*.swf; do mv "$f" "$work/seed-$(basename "$f")"; done
        rmdir "$work/samples" ;;
    fuzz_bmp_reader)
        cp tests/data/bmp/*.bmp "$work"/ ;;
    fuzz_gif_reader|fuzz_gif_writer)
        cp ../shared/corpus/gifs/*.gif "$work"/ ;;
    fuzz_convert)
        # Each corpus GIF under every choice of options.
        for f in ../shared/corpus/gifs/*.gif; do
            for c in 0 1 2 3 4 7; do
                { printf "\\$(printf %03o $c)"; cat "$f"; } > "$work/seed-$c-$(basename "$f")"
            done
        done ;;
esac
mkdir -p "$regressions"
cp "$regressions"/* "$work"/ 2>/dev/null || true
rm -f "$work/README"
set +e
"./build-fuzz/tools/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" "$work"
rc=$?
set -e
for f in "$artifacts"/*; do
    [ -e "$f" ] || continue
    cp "$f" "$regressions/$(basename "$f")"
    echo "saved $(basename "$f") into $regressions"
done
exit $rc
