# Installs the Debian packages the build and the tests need, when any is
# missing. Sourced by run.sh and test.sh; runs as root on Debian 12.
anivert_packages_build="build-essential cmake pkg-config zlib1g-dev libjpeg62-turbo-dev qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libcrypt-dev"
anivert_packages_test="ffmpeg clang libclang-rt-14-dev libgif-dev libpng-dev imagemagick xvfb xauth"

anivert_install() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}
