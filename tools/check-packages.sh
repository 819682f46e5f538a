#!/usr/bin/env bash
# tools/check-packages.sh BUILD_DIR: makes the Debian packages of a build
# (cpack -G DEB, into a temporary folder), checks their fields, unpacks
# anivert into a temporary root and converts samples/sample.gif with the
# anivert-cli found there, and runs lintian on both packages: an error
# fails the check, warnings are printed. Exit status 0 when all holds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:?usage: tools/check-packages.sh BUILD_DIR}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() {
    echo "check-packages: $*" >&2
    exit 1
}
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
maintainer=$(cache ANIVERT_MAINTAINER)
arch=$(dpkg --print-architecture)

echo "== cpack -G DEB in $build"
(cd "$build" && cpack -G DEB -B "$tmp/packages") >"$tmp/cpack.log" 2>&1 || {
    cat "$tmp/cpack.log"
    fail "cpack failed"
}
deb=$tmp/packages/anivert_${version}_$arch.deb
dev=$tmp/packages/anivert-dev_${version}_$arch.deb
[ -f "$deb" ] && [ -f "$dev" ] || fail "cpack made: $(ls "$tmp/packages")"

field() { dpkg-deb -f "$1" "$2"; }
for p in "$deb" "$dev"; do
    [ "$(field "$p" Version)" = "$version" ] || fail "$(basename "$p"): version $(field "$p" Version)"
    [ "$(field "$p" Maintainer)" = "$maintainer" ] || fail "$(basename "$p"): maintainer $(field "$p" Maintainer)"
done
depends=$(field "$deb" Depends)
echo "anivert Depends: $depends"
for lib in libc6 libstdc++6 zlib1g libjpeg62-turbo libdeflate0 libqt6core6 libqt6widgets6; do
    [[ ",$depends" == *", $lib "* || ",$depends" == *",$lib "* ]] || fail "anivert does not depend on $lib"
done
[ "$(field "$deb" Recommends)" = xdg-utils ] || fail "anivert does not recommend xdg-utils"

echo "== contents"
dpkg-deb -x "$deb" "$tmp/root"
dpkg-deb -x "$dev" "$tmp/root-dev"
for f in anivert anivert-cli gifdump swfdump; do
    [ -x "$tmp/root/usr/bin/$f" ] || fail "anivert lacks /usr/bin/$f"
    [ -f "$tmp/root/usr/share/man/man1/$f.1.gz" ] || fail "anivert lacks the manual page of $f"
    ! readelf -d "$tmp/root/usr/bin/$f" | grep -qE 'RPATH|RUNPATH' || fail "$f keeps a run path"
done
for f in applications/anivert.desktop icons/hicolor/scalable/apps/anivert.svg doc/anivert/copyright \
    doc/anivert/changelog.gz; do
    [ -f "$tmp/root/usr/share/$f" ] || fail "anivert lacks /usr/share/$f"
done
[ -f "$tmp/root/usr/share/anivert/Anivert.html" ] || fail "anivert lacks the help page"
[ -z "$(find "$tmp/root" -name '*.h' -o -name '*.a')" ] || fail "anivert holds headers or libraries"
for f in include/anivert/FlashObjects.h include/anivert/GIFImage.h include/anivert/Convert.h \
    share/doc/anivert-dev/copyright; do
    [ -f "$tmp/root-dev/usr/$f" ] || fail "anivert-dev lacks /usr/$f"
done
for f in libanivert_swf.a libanivert_gif.a libanivert_base.a libanivert_convert.a pkgconfig/anivert-swf.pc \
    pkgconfig/anivert-gif.pc pkgconfig/anivert-convert.pc \
    cmake/Anivert/AnivertConfig.cmake; do
    [ -n "$(find "$tmp/root-dev/usr/lib" -path "*/$f")" ] || fail "anivert-dev lacks $f"
done
[ -z "$(find "$tmp/root-dev" -path '*/bin/*')" ] || fail "anivert-dev holds programs"

echo "== anivert-cli from the unpacked package"
out=$("$tmp/root/usr/bin/anivert-cli" --version) || fail "anivert-cli --version failed"
[ "$out" = "anivert-cli $version" ] || fail "anivert-cli --version prints '$out'"
mkdir "$tmp/movies"
"$tmp/root/usr/bin/anivert-cli" -q -o "$tmp/movies" "$root/samples/sample.gif" || fail "the conversion failed"
"$tmp/root/usr/bin/swfdump" "$tmp/movies/sample.swf" >"$tmp/sample.txt" || fail "swfdump cannot read the movie"
grep -q '^Frames: ' "$tmp/sample.txt" || fail "swfdump lists no frames"

echo "== lintian"
rc=0
lintian "$deb" "$dev" >"$tmp/lintian.log" 2>&1 || rc=$?
cat "$tmp/lintian.log"
! grep -q '^E: ' "$tmp/lintian.log" || fail "lintian reports errors"
[ "$rc" -eq 0 ] || fail "lintian failed (exit status $rc)"
echo "check-packages: all good ($(grep -c '^W: ' "$tmp/lintian.log" || true) lintian warnings)"
