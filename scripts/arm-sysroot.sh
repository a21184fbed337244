#!/bin/sh
# Makes the ARM sysroot: Debian's armel packages of SDL 1.2, libmikmod, libpng, zlib, GoogleTest
# and Google Benchmark with everything they depend on, unpacked with dpkg-deb -x into SYSROOT.
# Usage: scripts/arm-sysroot.sh SYSROOT
#
# apt works here on a private state folder beside SYSROOT whose only architecture is armel: the
# machine's own apt lists, status and architectures are never touched, so there is no foreign
# architecture to add or remove, and the amd64 security updates (which have no armel twins) do not
# get in the way. Running it again with the sysroot complete does nothing.
set -eu

sysroot=${1:?usage: $0 SYSROOT}
packages="libc6 libstdc++6 libsdl1.2-compat-dev libmikmod-dev libpng-dev zlib1g-dev libgtest-dev
          libbenchmark-dev"
# The cross compiler brings its own C library headers (the same glibc); unpacking a second copy
# would shadow the C++ library's wrappers of them.
skipped="libc6-dev linux-libc-dev libcrypt-dev libnsl-dev libtirpc-dev rpcsvc-proto"
stamp="$sysroot/.packages"
wanted=$(echo $packages)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$wanted" ]; then
    exit 0
fi

mkdir -p "$sysroot"
sysroot=$(realpath "$sysroot")
work="$sysroot.work"
rm -rf "$work" "$sysroot"
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/debs" "$sysroot"
: > "$work/status"
apt_get() {
    apt-get -q -o APT::Architecture=armel -o APT::Architectures::=armel \
        -o Dir::State::Lists="$work/lists" -o Dir::State::status="$work/status" \
        -o Dir::Cache="$work/cache" -o APT::Sandbox::User="$(id -un)" "$@"
}

echo "arm-sysroot: reading Debian's armel package lists"
apt_get update > "$work/update.log" 2>&1 || { cat "$work/update.log"; exit 1; }
# What installing the packages on an empty armel system would bring, as name=version.
# shellcheck disable=SC2086
apt_get install --simulate --no-install-recommends $packages > "$work/plan.txt"
closure=$(sed -n 's/^Inst \([^ ]*\) (\([^ ]*\) .*/\1=\2/p' "$work/plan.txt")
for p in $skipped; do
    closure=$(echo "$closure" | grep -v "^$p=" || true)
done
echo "arm-sysroot: fetching $(echo "$closure" | wc -l) packages"
# shellcheck disable=SC2086
(cd "$work/debs" && apt_get download $closure > "$work/download.log" 2>&1) ||
    { cat "$work/download.log"; exit 1; }

for deb in "$work"/debs/*.deb; do
    dpkg-deb -x "$deb" "$sysroot"
done
# Absolute symbolic links (libfoo.so -> /lib/...) would point into the build machine: make them
# relative so that they stay inside the sysroot.
find "$sysroot" -type l | while read -r link; do
    target=$(readlink "$link")
    case "$target" in
        /*) ln -sfn "$(realpath -m --relative-to="$(dirname "$link")" "$sysroot$target")" "$link" ;;
    esac
done

rm -rf "$work" "$sysroot/usr/share/doc" "$sysroot/usr/share/man" "$sysroot/usr/share/locale"
echo "$wanted" > "$stamp"
echo "arm-sysroot: $(du -sh "$sysroot" | cut -f1) in $sysroot"
