#!/usr/bin/env bash
# The end-to-end test: converts the corpus GIFs (when ../shared/corpus is
# there) and the GIFs of selfmade/ with the converter of a build, as default
# and as compact movies (and the damaged ones salvaged), plays every movie in Ruffle inside headless
# Chromium and compares the frames; then reads every movie with an
# independent SWF parser. Clicks on a linked movie must ask the browser to
# open its URL. Movies that loop as the GIF says must stop where the
# browser stops the GIF.
#   bash tests/e2e/run.sh [BUILD_DIR]
# Ends with "N passed, N failed" (files) and a non-zero status on failure.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
. "$root/tools/deps.sh"
# tools/test.sh has installed these already; run alone, the test installs them.
anivert_install $anivert_packages_test || exit 1
anivert_install_e2e_modules "$here" || exit 1
cd "$here"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus="$root/../shared/corpus"
args=(--cli "$build/app/anivert-cli" --gifdump "$build/tools/gifdump" --selfmade "$here/selfmade")
[ -d "$corpus/gifs" ] && args+=(--corpus "$corpus")
status=0
# timed NAME COMMAND...: runs a pass and prints the seconds it took.
timed() {
    local name=$1 t0 rc
    shift
    t0=$(date +%s)
    "$@"
    rc=$?
    echo "== time: end-to-end $name $(($(date +%s) - t0)) s"
    return $rc
}
# Default movies, then compact ones, whose runs of frames must be the
# default movies' runs.
mkdir -p "$work/default" "$work/compact"
timed default node e2e.mjs "${args[@]}" --work "$work/default" || status=1
timed compact node e2e.mjs "${args[@]}" --work "$work/compact" --mode compact --runs-of "$work/default" || status=1
# Damaged files salvaged as Chromium shows them, in both encodings.
mkdir -p "$work/salvage" "$work/salvage-compact"
timed salvage node e2e.mjs "${args[@]}" --work "$work/salvage" --mode salvage || status=1
timed salvage-compact node e2e.mjs "${args[@]}" --work "$work/salvage-compact" --mode salvage-compact || status=1
echo "== the link of a movie"
mkdir -p "$work/link"
timed link node link.mjs --cli "$build/app/anivert-cli" --gif "$here/selfmade/disposals.gif" --work "$work/link" || status=1
if [ -d "$corpus/gifs" ]; then
    echo "== movies that loop as the GIF says"
    mkdir -p "$work/loop"
    timed loop node loop.mjs --cli "$build/app/anivert-cli" --corpus "$corpus" --work "$work/loop" || status=1
fi
echo "== sprites, clip actions and sounds"
mkdir -p "$work/tags"
timed player-tags node player-tags.mjs --samples "$build/tools/swfsamples" --work "$work/tags" || status=1
echo "== independent parser"
/usr/bin/python3 check_yaswfp.py "$work"/default/*.swf "$work"/compact/*.swf "$work"/salvage*/*.swf "$work"/link/*/*.swf \
    $(ls "$work"/loop/*/*.swf 2>/dev/null) | tail -n 20
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
exit $status
