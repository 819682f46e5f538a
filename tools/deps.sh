# The one list of Debian packages that the build, the unit tests, the GUI
# tests and the end-to-end test use, and the installer of those missing.
# Sourced by run.sh, test.sh and the other scripts; runs as root (or with
# sudo) on Debian 12.
#
# An entry PACKAGE:COMMAND stands for a program that may come from another
# source than the Debian package of that name (Node.js and its npm, say):
# it is installed only when the command is missing.

# Building the converter, the desktop program and the libraries, with the
# manual pages made from the programs' --help (help2man).
anivert_packages_build="build-essential cmake pkg-config zlib1g-dev libdeflate-dev libjpeg62-turbo-dev qt6-base-dev \
libgtest-dev libgmock-dev libbenchmark-dev libcrypt-dev help2man"
# Making the Debian packages of a build (cpack -G DEB): dpkg-deb and
# dpkg-shlibdeps, file (with which CPack picks the programs for
# dpkg-shlibdeps), and fakeroot for packing an install tree by hand
# (CPack itself packs the files as root's).
anivert_packages_deb="dpkg-dev fakeroot file"
# The clang build and the fuzz targets (libFuzzer and the sanitizers' runtime).
anivert_packages_clang="clang libclang-rt-14-dev"
# Everything the tests use besides: the clang build, independent readers
# (giflib, libpng, ImageMagick, ffmpeg, yaswfp), the virtual display of the
# window's screenshots, the real player of the end-to-end test (Ruffle
# from npm, run in Chromium), the package checks (lintian, and man to read
# the manual pages).
anivert_packages_test="$anivert_packages_clang $anivert_packages_deb libgif-dev libpng-dev imagemagick ffmpeg python3 \
python3-yaswfp xvfb xauth chromium nodejs:node npm:npm lintian man-db"
# The browser build (tools/web.sh): Debian's emscripten, and dpkg-dev with
# the unpackers of the source packages of zlib and libdeflate it compiles;
# python3 serves the site (--serve).
anivert_packages_web="emscripten dpkg-dev bzip2 xz-utils nodejs:node npm:npm python3"
anivert_packages_all="$anivert_packages_build $anivert_packages_test $anivert_packages_web"

# Runs a command up to three times: a package mirror that drops a
# connection once must not fail the run.
anivert_retry() {
    local n
    for n in 1 2 3; do
        "$@" && return 0
        [ $n -lt 3 ] && echo "== failed ($*), trying again" && sleep $((n * 10))
    done
    return 1
}

anivert_install() {
    local missing=()
    local p name cmd
    for p in "$@"; do
        name=${p%%:*}
        if [ "$name" != "$p" ]; then
            cmd=${p#*:}
            command -v "$cmd" >/dev/null 2>&1 && continue
        fi
        dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' || missing+=("$name")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    anivert_retry $sudo apt-get update -q || return 1
    anivert_retry $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# The npm packages of the end-to-end test (the player and the browser
# driver, pinned by tests/e2e/package-lock.json).
anivert_install_e2e_modules() {
    local dir=$1
    [ -d "$dir/node_modules/@ruffle-rs/ruffle" ] && [ -d "$dir/node_modules/playwright-core" ] &&
        [ -d "$dir/node_modules/pngjs" ] && return 0
    (cd "$dir" && anivert_retry npm ci --no-audit --no-fund --loglevel=error)
}

# The npm packages the browser page ships (the player of its preview and
# the zip writer of its downloads, pinned by web/package-lock.json).
anivert_install_web_modules() {
    local dir=$1
    [ -d "$dir/node_modules/@ruffle-rs/ruffle" ] && [ -d "$dir/node_modules/fflate" ] && return 0
    (cd "$dir" && anivert_retry npm ci --no-audit --no-fund --loglevel=error)
}
