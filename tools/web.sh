#!/usr/bin/env bash
# Installs what is missing and builds the converter's browser page into
# build-web/site/: the conversion compiled to WebAssembly with Debian's
# emscripten (zlib and libdeflate compiled from Debian's source packages),
# the page, the Flash player of its preview and the zip writer of its
# downloads. The site is static: any web server serves it, no special
# headers needed.
#   bash tools/web.sh [--serve [PORT]] [--werror]
# --serve then serves the site on 127.0.0.1 (port 8080 unless given) until
# interrupted. --werror makes compiler warnings errors (the project's
# own runs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
. tools/deps.sh

serve=""
port=8080
werror=OFF
while [ $# -gt 0 ]; do
    case $1 in
        --serve)
            serve=1
            if [ $# -gt 1 ] && [[ $2 =~ ^[0-9]+$ ]]; then
                port=$2
                shift
            fi
            ;;
        --werror) werror=ON ;;
        *)
            echo "usage: bash tools/web.sh [--serve [PORT]] [--werror]" >&2
            exit 2
            ;;
    esac
    shift
done

anivert_install $anivert_packages_web
# Debian's emscripten finds its JavaScript tools among Debian's Node.js
# modules, whichever Node.js runs them.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

out=$root/build-web
deps=$out/deps
mkdir -p "$deps"

# zlib and libdeflate: the versions of Debian 12, from its source packages,
# fetched through a source list of this build's own (the machine's apt
# sources stay as they are).
zlib_version=1:1.2.13.dfsg-1
libdeflate_version=1.14-1
stamp="zlib=$zlib_version libdeflate=$libdeflate_version"
if [ "$(cat "$deps/prefix/stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "== zlib and libdeflate from Debian's source packages"
    rm -rf "$deps/src" "$deps/obj" "$deps/prefix" "$deps/apt"
    mkdir -p "$deps/src" "$deps/prefix/include" "$deps/prefix/lib" "$deps/apt/lists/partial" "$deps/apt/sources"
    cat >"$deps/apt/sources/anivert-web.sources" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_own=(-o "Dir::Etc::SourceParts=$deps/apt/sources" -o Dir::Etc::SourceList=/dev/null
        -o "Dir::State::Lists=$deps/apt/lists" -o Debug::NoLocking=1)
    anivert_retry apt-get "${apt_own[@]}" -q update >/dev/null
    # Unpacked by hand below: apt's own download checks the files against
    # the signed index.
    (cd "$deps/src" && anivert_retry apt-get "${apt_own[@]}" -q --download-only source \
        "zlib=$zlib_version" "libdeflate=$libdeflate_version" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
    (cd "$deps/src" && for dsc in zlib_*.dsc libdeflate_*.dsc; do
        dpkg-source --no-check -x "$dsc" >/dev/null
    done)
    zlib_src=$(ls -d "$deps"/src/zlib-*/)
    deflate_src=$(ls -d "$deps"/src/libdeflate-*/)
    # The libraries' own sources, without their build systems: what the
    # conversion uses of zlib is its deflate and inflate (no gz files).
    build_lib() {
        local name=$1 dir=$2
        shift 2
        mkdir -p "$deps/obj/$name"
        local f
        for f in "$@"; do
            emcc -O2 -I"$dir" -c "$dir/$f" -o "$deps/obj/$name/$(basename "${f%.c}").o"
        done
        emar rcs "$deps/prefix/lib/$name.a" "$deps/obj/$name"/*.o
    }
    build_lib libz "$zlib_src" adler32.c compress.c crc32.c deflate.c infback.c inffast.c inflate.c \
        inftrees.c trees.c uncompr.c zutil.c
    cp "$zlib_src"/zlib.h "$zlib_src"/zconf.h "$deps/prefix/include/"
    (cd "$deflate_src" && build_lib libdeflate "$deflate_src" $(ls lib/*.c lib/*/*.c))
    cp "$deflate_src"/libdeflate.h "$deps/prefix/include/"
    echo "$stamp" >"$deps/prefix/stamp"
fi

echo "== the converter in WebAssembly"
emcmake cmake -S "$root" -B "$out/core" -DCMAKE_BUILD_TYPE=Release -DANIVERT_JPEG=OFF -DANIVERT_TESTS=OFF \
    -DANIVERT_BENCH=OFF -DANIVERT_WERROR=$werror -DANIVERT_WEB_DEPS="$deps/prefix" >/dev/null
cmake --build "$out/core" --target anivert-core -j"$(nproc)"

echo "== the site"
anivert_install_web_modules "$root/web"
site=$out/site
rm -rf "$site"
mkdir -p "$site/ruffle" "$site/vendor"
cp web/index.html web/style.css web/app.js web/anivert.js web/worker.js "$site/"
cp "$out/core/web/anivert-core.js" "$out/core/web/anivert-core.wasm" "$site/"
# The player and the zip writer as their packages ship them, with their
# licences.
ruffle=web/node_modules/@ruffle-rs/ruffle
cp "$ruffle"/*.js "$ruffle"/*.wasm "$ruffle"/LICENSE_* "$site/ruffle/"
cp web/node_modules/fflate/umd/index.js "$site/vendor/fflate.js"
cp web/node_modules/fflate/LICENSE "$site/vendor/fflate-LICENSE"
echo "== site: $site"

if [ -n "$serve" ]; then
    echo "== serving $site at http://127.0.0.1:$port/ (Ctrl-C stops)"
    exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
fi
