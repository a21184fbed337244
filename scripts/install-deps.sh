#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing, and those
# named as arguments (the handheld build's cross compilers and emulator).
# Runs apt-get as root directly, through sudo otherwise.
set -eu

# ffmpeg and openmpt123 are used by the capture tool's video output and the music tests;
# clang (with its sanitizer and libFuzzer runtimes) and valgrind by the hardening runs of make test;
# xvfb, openbox, xdotool and x11-utils by the fullscreen test (a virtual display with a window
# manager, keys pressed into it, window sizes read back).
packages="cmake g++ make pkg-config libmikmod-dev libpng-dev zlib1g-dev libgtest-dev libbenchmark-dev
          ffmpeg openmpt123 clang libclang-rt-14-dev valgrind xvfb openbox xdotool x11-utils $*"
# help2man writes the capture tool's manual page from its --help; dpkg-dev and file let CPack
# compute the Debian package's dependencies; lintian and desktop-file-utils check the package.
packages="$packages help2man dpkg-dev file lintian desktop-file-utils"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
# SDL 1.2: the compat layer over SDL2 or the classic library, whichever answers pkg-config.
if ! pkg-config --exists sdl 2>/dev/null; then
    missing="$missing libsdl1.2-compat-dev"
fi
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "installing:$missing"
$sudo apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
