#!/usr/bin/env bash
# Long GIFs: screen recordings made by ffmpeg from its testsrc source at
# 640 x 360 and 30 frames per second, of 150, 600, 2400 and 20 000 frames
# (made here, not kept), converted by anivert-cli in both modes and by
# ffmpeg into an SWF. Prints, for each, the seconds and the peak memory,
# and the seconds per 1000 frames: linear time shows as a flat figure.
#
#   bench/long_gifs.sh build/app/anivert-cli [FRAMES...]
set -euo pipefail
cli=$(realpath "$1")
shift
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(150 600 2400 20000)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
measure() {  # prints "seconds MiB status"
    local status=0
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || status=$?
    read -r s k < <(tail -n 1 "$work/time")
    echo "$s $((k / 1024)) $status"
}
printf '| frames | GIF MiB | default s | default MiB | default s/1000 | compact s | compact MiB | compact s/1000 | ffmpeg s | ffmpeg s/1000 |\n'
printf '|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n'
for n in "${counts[@]}"; do
    gif=$work/rec$n.gif
    ffmpeg -v error -y -f lavfi -i "testsrc=size=640x360:rate=30" -frames:v "$n" "$gif"
    mib=$(awk -v b="$(stat -c %s "$gif")" 'BEGIN { printf "%.1f", b / 1048576 }')
    read -r ds dm dst < <(measure "$cli" -q -o "$work" "$gif")
    [ "$dst" = 0 ] || ds="refused ($(tail -1 "$work/err" | sed 's/.*: //' | cut -c1-40))"
    rm -f "$work"/*.swf
    read -r cs cm cst < <(measure "$cli" -q --compact -o "$work" "$gif")
    [ "$cst" = 0 ] || cs="failed"
    rm -f "$work"/*.swf
    read -r fs _ _ < <(measure ffmpeg -v error -y -i "$gif" "$work/ff.swf")
    rm -f "$work"/*.swf "$gif"
    per() { awk -v s="$1" -v n="$n" 'BEGIN { if (s + 0 == s) printf "%.2f", s * 1000 / n; else printf "-" }'; }
    printf '| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$n" "$mib" "$ds" "$dm" "$(per "$ds")" "$cs" "$cm" \
        "$(per "$cs")" "$fs" "$(per "$fs")"
done
