#!/usr/bin/env bash
# Converts a folder of GIFs (the corpus by default) with anivert-cli --jobs N
# for several N, in default and compact mode, and prints the wall time of
# each run; the movies of every run must be those of the run with one job.
#   bash bench/jobs.sh BUILD_DIR [FOLDER] [JOBS...]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
folder=${2:-$(cd "$(dirname "$0")/../.." && pwd)/shared/corpus/gifs}
shift $(( $# >= 2 ? 2 : $# ))
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1 2 3 4)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "folder $folder, $(nproc) cores"
for mode in default compact; do
    extra=()
    [ "$mode" = compact ] && extra=(--compact)
    base=
    for n in "${counts[@]}"; do
        out="$work/$mode-$n"
        mkdir -p "$out"
        start=$(date +%s.%N)
        "$build/app/anivert-cli" -q --jobs "$n" "${extra[@]}" --folder "$folder" -o "$out" >/dev/null 2>&1 || true
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
        if [ -z "$base" ]; then
            base=$t
            same=reference
            ref=$out
        else
            same=$(diff -rq "$ref" "$out" >/dev/null && echo identical || echo DIFFERENT)
        fi
        printf '%-8s --jobs %-2s %7.2f s  %5.2fx  movies %s\n' "$mode" "$n" "$t" "$(awk -v a="$base" -v b="$t" 'BEGIN { print a / b }')" "$same"
    done
done
