#!/usr/bin/env bash
# tools/tsan.sh: the conversion core and anivert-cli under ThreadSanitizer.
# Builds them (build-tsan), runs the tests of several conversions at once
# (the core's calls at once, --jobs against one job after the other) and
# converts the corpus with --jobs 4 in the default and the compact mode.
# Any report of ThreadSanitizer fails it. Too slow for every CI run; run it
# after a change to the jobs or the core.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-tsan
corpus=$root/../shared/corpus/gifs
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DANIVERT_TSAN=ON -DANIVERT_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target anivert-cli test_convert test_app >/dev/null
"$build/tests/test_convert"
(cd "$build/tests" && ./test_app --gtest_filter='Cli.*:ConvertJob.*:FolderRun.*')
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for mode in default compact; do
    extra=()
    [ "$mode" = compact ] && extra=(--compact)
    mkdir -p "$work/$mode-4" "$work/$mode-1"
    "$build/app/anivert-cli" -q --jobs 4 "${extra[@]}" --folder "$corpus" -o "$work/$mode-4" 2>"$work/$mode.log" || true
    if grep -q 'ThreadSanitizer' "$work/$mode.log"; then
        cat "$work/$mode.log"
        echo "tsan: ThreadSanitizer reported on --jobs 4 ($mode)"
        exit 1
    fi
    "$build/app/anivert-cli" -q --jobs 1 "${extra[@]}" --folder "$corpus" -o "$work/$mode-1" 2>/dev/null || true
    diff -rq "$work/$mode-1" "$work/$mode-4" || { echo "tsan: --jobs 4 wrote other movies ($mode)"; exit 1; }
    echo "tsan: --jobs 4 $mode: $(find "$work/$mode-4" -name '*.swf' | wc -l) movies, no report"
done
echo "tsan: all good"
