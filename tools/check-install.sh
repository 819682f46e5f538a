#!/usr/bin/env bash
# tools/check-install.sh BUILD_DIR: installs a build into a temporary prefix
# and uses it as a user would. What is installed is the programs, their
# manual pages (read by man without a warning), the headers without Qt, the
# libraries, the CMake package and the pkg-config files, and nothing of the
# tests; every program prints the project's version; the examples build
# out of tree against the prefix with find_package and with a plain
# compiler command over pkg-config, run, and what they write reads back
# with the build's swfdump and gifdump. Exit status 0 when all of it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:?usage: tools/check-install.sh BUILD_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "check-install: $*" >&2
    exit 1
}
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
libdir=$(cache CMAKE_INSTALL_LIBDIR)
cxx=$(cache CMAKE_CXX_COMPILER)
prefix=$tmp/prefix

echo "== cmake --install $build --prefix (temporary)"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || {
    cat "$tmp/install.log"
    fail "the install failed"
}
for f in bin/anivert bin/anivert-cli bin/gifdump bin/swfdump share/anivert/Anivert.html \
    share/applications/anivert.desktop share/icons/hicolor/scalable/apps/anivert.svg \
    share/doc/anivert/copyright share/doc/anivert-dev/copyright \
    include/anivert/FlashObjects.h include/anivert/GIFImage.h include/anivert/AnivertVersion.h include/anivert/Convert.h \
    "$libdir"/libanivert_swf.a "$libdir"/libanivert_gif.a "$libdir"/libanivert_base.a "$libdir"/libanivert_convert.a \
    "$libdir"/cmake/Anivert/AnivertConfig.cmake "$libdir"/cmake/Anivert/AnivertConfigVersion.cmake \
    "$libdir"/pkgconfig/anivert-swf.pc "$libdir"/pkgconfig/anivert-gif.pc "$libdir"/pkgconfig/anivert-base.pc \
    "$libdir"/pkgconfig/anivert-convert.pc; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
done
programs=$(cd "$prefix/bin" && ls | tr '\n' ' ')
[ "$programs" = "anivert anivert-cli gifdump swfdump " ] || fail "bin/ holds: $programs"
! grep -rlE '#[[:space:]]*include[[:space:]]*<Q' "$prefix/include" || fail "an installed header includes Qt"
grep -q 'MimeType=.*image/gif;' "$prefix/share/applications/anivert.desktop" || fail "the desktop entry lacks image/gif"

echo "== manual pages and --version"
for p in anivert anivert-cli gifdump swfdump; do
    page=$prefix/share/man/man1/$p.1.gz
    [ -f "$page" ] || fail "no manual page for $p"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man cannot show $p.1"
    [ -z "$warnings" ] || fail "man warns on $p.1: $warnings"
    zcat "$page" | grep -q "$version" || fail "the manual page of $p does not name version $version"
    out=$("$prefix/bin/$p" --version) || fail "$p --version failed"
    [ "$out" = "$p $version" ] || fail "$p --version prints '$out', not '$p $version'"
done

echo "== find_package(Anivert) with components"
mkdir -p "$tmp/unknown"
cat >"$tmp/unknown/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(Unknown LANGUAGES CXX)
find_package(Anivert CONFIG REQUIRED COMPONENTS swf nosuch)
EOF
if cmake -S "$tmp/unknown" -B "$tmp/unknown/build" -DCMAKE_PREFIX_PATH="$prefix" >"$tmp/unknown.log" 2>&1; then
    fail "find_package took the unknown component nosuch"
fi
grep -q nosuch "$tmp/unknown.log" || fail "find_package failed on nosuch without naming it"

flags="-Wall -Wextra -Werror"
for ex in make-movie optimize-gif gif-to-swf; do
    echo "== examples/$ex with find_package"
    cmake -S "examples/$ex" -B "$tmp/$ex" -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" >"$tmp/$ex.log" &&
        cmake --build "$tmp/$ex" >>"$tmp/$ex.log" || {
        cat "$tmp/$ex.log"
        fail "examples/$ex does not build with find_package"
    }
done
echo "== the examples with pkg-config"
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $flags -o "$tmp/make-movie-pc" examples/make-movie/make-movie.cpp \
    $(pkg-config --cflags --libs anivert-swf) || fail "make-movie does not build with pkg-config --libs"
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $flags -o "$tmp/optimize-gif-pc" examples/optimize-gif/optimize-gif.cpp \
    $(pkg-config --static --cflags --libs anivert-gif) || fail "optimize-gif does not build with pkg-config --static"
# shellcheck disable=SC2046,SC2086
"$cxx" -std=c++20 $flags -o "$tmp/gif-to-swf-pc" examples/gif-to-swf/gif-to-swf.cpp \
    $(pkg-config --cflags --libs anivert-convert) || fail "gif-to-swf does not build with pkg-config --libs"

echo "== running the examples"
cd "$tmp"
./make-movie/make-movie movie.swf || fail "make-movie failed"
./make-movie-pc movie-pc.swf >/dev/null || fail "make-movie (pkg-config) failed"
cmp movie.swf movie-pc.swf || fail "the two builds of make-movie write different movies"
"$build/tools/swfdump" movie.swf >movie.txt || fail "swfdump cannot read the example movie"
for want in 'Frames:      3' DefineShape DefineBitsLossless DefineButton2 'GetUrl "https://example.org/'; do
    grep -q "$want" movie.txt || fail "the example movie lacks $want"
done
[ "$(grep -c ShowFrame movie.txt)" -eq 3 ] || fail "the example movie has not three ShowFrame tags"
./make-movie/make-movie movie-bmp.swf "$root/tests/data/bmp/b24.bmp" >/dev/null || fail "make-movie with a BMP failed"
"$build/tools/swfdump" movie-bmp.swf >/dev/null || fail "swfdump cannot read the movie of b24.bmp"

./optimize-gif/optimize-gif "$root/samples/sample.gif" sample.gif | tee gif.txt || fail "optimize-gif failed"
./optimize-gif-pc "$root/samples/sample.gif" sample-pc.gif >/dev/null || fail "optimize-gif (pkg-config) failed"
cmp sample.gif sample-pc.gif || fail "the two builds of optimize-gif write different GIFs"
[ "$(grep -c '^frame [0-9]*: .*delay' gif.txt)" -eq 8 ] || fail "optimize-gif did not list eight frames with delays"
"$build/tools/gifdump" sample.gif >dump.txt || fail "gifdump cannot read the optimised GIF"
frames=$(sed -n 's/^saved .*: \([0-9]*\) frames$/\1/p' gif.txt)
grep -qx "$frames frames" dump.txt || fail "gifdump does not read the $frames frames optimize-gif saved"
! grep '^frame' dump.txt | grep -v 'local map none' || fail "a frame of the optimised GIF keeps a local map"

# The conversion as a library call: bytes to bytes, the movie anivert-cli
# writes, in the default mode and with every choice.
for opts in "" "--compact --loop gif --url https://example.org/" "--salvage"; do
    rm -rf cli && mkdir cli
    # shellcheck disable=SC2086
    ./gif-to-swf/gif-to-swf $opts "$root/samples/sample.gif" sample.swf >/dev/null || fail "gif-to-swf $opts failed"
    # shellcheck disable=SC2086
    ./gif-to-swf-pc $opts "$root/samples/sample.gif" sample-pc.swf >/dev/null || fail "gif-to-swf (pkg-config) failed"
    # shellcheck disable=SC2086
    "$prefix/bin/anivert-cli" -q $opts -o cli "$root/samples/sample.gif" || fail "anivert-cli $opts failed"
    cmp sample.swf cli/sample.swf || fail "gif-to-swf $opts and anivert-cli write different movies"
    cmp sample.swf sample-pc.swf || fail "the two builds of gif-to-swf write different movies"
done
printf 'GIF89a' >bad.gif
if ./gif-to-swf/gif-to-swf bad.gif bad.swf 2>bad.txt; then fail "gif-to-swf converted a damaged GIF"; fi
[ ! -e bad.swf ] && grep -q '^bad.gif: ' bad.txt || fail "gif-to-swf gave no reason for a damaged GIF, or wrote a movie"
echo "check-install: all good"
