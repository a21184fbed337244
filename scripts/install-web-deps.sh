#!/bin/sh
# Installs what the web page's build and test need, when it is missing:
#  - Debian's emscripten (the browser toolchain, with its own SDL 1.2) and chromium (the
#    test's browser), through apt-get as root, or sudo otherwise;
#  - libmikmod for the browser: its source from Debian's archive (scripts/debian-source.sh,
#    which leaves the system's apt sources untouched), built with emcmake into WEB_BUILD/mikmod;
#  - the test's node packages, exactly as web/package-lock.json pins them.
# Usage: scripts/install-web-deps.sh WEB_BUILD
set -eu
cd "$(dirname "$0")/.."
web_build=$(mkdir -p "${1:?usage: $0 WEB_BUILD}" && cd "$1" && pwd)

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

# Runs a command with its output in a log file, shown only when it fails.
logged() {
    log=$1
    shift
    "$@" >"$log" 2>&1 || { cat "$log"; echo "failed: $*" >&2; exit 1; }
}

packages="emscripten chromium dpkg-dev nodejs npm"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
# npm may come with a nodejs package of another origin.
if command -v npm >/dev/null 2>&1; then missing=$(echo "$missing" | sed 's/ npm//'); fi
if [ -n "$missing" ]; then
    echo "installing:$missing"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
fi

# libmikmod for the browser, once per build folder.
mikmod="$web_build/mikmod"
if [ ! -f "$mikmod/install/lib/libmikmod.a" ]; then
    rm -rf "$mikmod/build"
    scripts/debian-source.sh "$mikmod" libmikmod
    # Single-threaded, with the SDL driver (the browser's audio) and no other output. The
    # browser's SDL is part of emscripten's runtime, so it has no library file to name. Its
    # "shared" library is static in the browser; a second, static one would race it for the
    # same file name.
    export NODE_PATH=/usr/share/nodejs
    logged "$mikmod/configure.log" emcmake cmake -S "$mikmod/libmikmod" -B "$mikmod/build" \
        -Wno-dev -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$mikmod/install" \
        -DENABLE_STATIC=0 -DENABLE_SDL=1 -DSDL_LIBRARY=-sUSE_SDL=1 -DENABLE_THREADS=0 -DENABLE_DL=0 \
        -DENABLE_ALSA=0 -DENABLE_PULSE=0 -DENABLE_OSS=0 -DENABLE_OPENAL=0 -DENABLE_ESD=0 \
        -DENABLE_NAS=0 -DENABLE_AF=0 -DENABLE_STDOUT=0 -DENABLE_PIPE=0 -DENABLE_AIFF=0 \
        -DENABLE_WAV=0 -DENABLE_RAW=0 -DENABLE_DOC=0
    logged "$mikmod/build.log" cmake --build "$mikmod/build" -j 2
    logged "$mikmod/install.log" cmake --install "$mikmod/build"
fi

# The test's node packages, reinstalled when the lock file changes.
if ! cmp -s web/package-lock.json web/node_modules/.installed-lock.json 2>/dev/null; then
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
    cp web/package-lock.json web/node_modules/.installed-lock.json
fi
