#!/usr/bin/env bash
# Installs every package the builds and tests use, then builds three times
# and runs the tests: a Release build with GCC (what users build) runs all
# of them; a Debug build with AddressSanitizer and UndefinedBehaviorSanitizer
# and a Release build with clang run them with the corpus checks over a
# sample of the corpus that shows each of its features; then, with the
# first build, the install and package checks and the end-to-end test;
# then the browser page is built (WebAssembly) and tested against the
# first build's converter.
# Warnings are errors in all three. Prints the seconds of each step and
# ends with "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh

# Seconds of each step, printed as it ends and again as a table at the end.
run_started=$(date +%s)
step_started=$run_started
step_names=()
step_seconds=()
step_begin() { step_started=$(date +%s); }
step_end() {
    local s=$(($(date +%s) - step_started))
    step_names+=("$1")
    step_seconds+=("$s")
    echo "== time: $1 ${s} s"
}
print_times() {
    local i
    echo "== seconds per step"
    for i in "${!step_names[@]}"; do
        printf '%6d  %s\n' "${step_seconds[$i]}" "${step_names[$i]}"
    done
    printf '%6d  %s\n' $(($(date +%s) - run_started)) "total"
}

echo "== packages"
step_begin
anivert_install $anivert_packages_all || exit 1
anivert_install_e2e_modules tests/e2e || exit 1
anivert_install_web_modules web || exit 1
step_end "packages"

jobs=$(nproc)
passed=0
failed=0
status=0

# run_build DIR [CMAKE ARGUMENTS...]: configures, builds and runs the tests.
run_build() {
    local dir=$1
    shift
    echo "== configure and build $dir"
    step_begin
    if ! cmake -S . -B "$dir" -DANIVERT_WERROR=ON "$@" >/dev/null || ! cmake --build "$dir" -j"$jobs"; then
        echo "build in $dir failed"
        failed=$((failed + 1))
        status=1
        return
    fi
    step_end "build $dir"
    echo "== tests in $dir"
    step_begin
    local log
    log=$(mktemp)
    (cd "$dir" && ctest --output-on-failure --timeout 900 -j"$jobs") 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -n "$line" ]; then
        bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
        total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    else
        failed=$((failed + 1))
    fi
    [ "$rc" -ne 0 ] && status=1
    rm -f "$log"
    step_end "tests in $dir"
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_build build -DCMAKE_BUILD_TYPE=Release -DANIVERT_SANITIZE=OFF
run_build build-asan -DCMAKE_BUILD_TYPE=Debug -DANIVERT_SANITIZE=ON -DANIVERT_BENCH=OFF -DANIVERT_CORPUS_SAMPLE=ON
run_build build-clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DANIVERT_SANITIZE=OFF -DANIVERT_BENCH=OFF -DANIVERT_CORPUS_SAMPLE=ON

# run_step NAME COMMAND...: a check of its own, one test of the tally.
run_step() {
    local name=$1
    shift
    echo "== $name"
    step_begin
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "$name failed"
        failed=$((failed + 1))
        status=1
    fi
    step_end "$name"
}

# The first build as users take it: installed, with the examples built
# against it; and as Debian packages, unpacked and checked by lintian.
run_step "install check" bash tools/check-install.sh build
run_step "package check" bash tools/check-packages.sh build

# The end-to-end test with the first build: movies played in an independent
# Flash player and read by an independent parser.
if [ -x build/app/anivert-cli ]; then
    echo "== end-to-end test"
    step_begin
    log=$(mktemp)
    bash tests/e2e/run.sh build 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -ne 0 ] && status=1
    while read -r p f; do
        passed=$((passed + p))
        failed=$((failed + f))
    done < <(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$log")
    rm -f "$log"
    step_end "end-to-end test"
else
    echo "end-to-end test not run: no converter was built"
    failed=$((failed + 1))
fi

# The browser page: the conversion built to WebAssembly, its movies against
# the first build's, and the page driven in Chromium.
run_step "browser build" bash tools/web.sh --werror
if [ -f build-web/site/anivert-core.wasm ] && [ -x build/app/anivert-cli ]; then
    echo "== browser test"
    step_begin
    log=$(mktemp)
    work=$(mktemp -d)
    web_args=(--site build-web/site --cli build/app/anivert-cli --selfmade tests/e2e/selfmade --sample samples/sample.gif
        --work "$work")
    [ -d ../shared/corpus/gifs ] && web_args+=(--corpus ../shared/corpus)
    node tests/e2e/web.mjs "${web_args[@]}" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -ne 0 ] && status=1
    read -r p f < <(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$log" | tail -n 1)
    passed=$((passed + ${p:-0}))
    failed=$((failed + ${f:-1}))
    rm -rf "$log" "$work"
    step_end "browser test"
else
    echo "browser test not run: no site or no converter was built"
    failed=$((failed + 1))
fi

print_times
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$status" -eq 0 ]
