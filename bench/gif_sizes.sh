#!/usr/bin/env bash
# Sizes of the corpus GIFs saved again by gifdump, as read (LZW), after
# --optimize 31 (LZW and run-length), beside gifsicle -O2 on the same files:
#   bash bench/gif_sizes.sh [BUILD_DIR]
# One line per file, then the totals over the files that all four tools
# wrote. Needs gifsicle (Debian package gifsicle).
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
gifdump=$build/tools/gifdump
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
size() { stat -c %s "$1" 2>/dev/null || echo -; }
printf '%-48s %9s %9s %9s %9s %9s\n' file original resaved opt31 opt31rle gifsicle
tot_o=0 tot_r=0 tot_l=0 tot_e=0 tot_g=0 n=0
for f in ../shared/corpus/gifs/*.gif; do
    name=$(basename "$f")
    rm -f "$work"/*.gif
    "$gifdump" --save "$work/r.gif" "$f" >/dev/null 2>&1
    "$gifdump" --optimize 31 --save "$work/l.gif" "$f" >/dev/null 2>&1
    "$gifdump" --optimize 31 --encoder rle --save "$work/e.gif" "$f" >/dev/null 2>&1
    { timeout 120 gifsicle -O2 --no-warnings "$f" -o "$work/g.gif"; } >/dev/null 2>&1 || rm -f "$work/g.gif"
    o=$(size "$f") r=$(size "$work/r.gif") l=$(size "$work/l.gif") e=$(size "$work/e.gif") g=$(size "$work/g.gif")
    printf '%-48s %9s %9s %9s %9s %9s\n' "$name" "$o" "$r" "$l" "$e" "$g"
    if [ "$r" != - ] && [ "$l" != - ] && [ "$e" != - ] && [ "$g" != - ]; then
        tot_o=$((tot_o + o)) tot_r=$((tot_r + r)) tot_l=$((tot_l + l)) tot_e=$((tot_e + e)) tot_g=$((tot_g + g))
        n=$((n + 1))
    fi
done
printf '%-48s %9s %9s %9s %9s %9s\n' "total of $n files" "$tot_o" "$tot_r" "$tot_l" "$tot_e" "$tot_g"
