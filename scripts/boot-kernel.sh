#!/bin/sh
# Builds, once, the Linux kernel of the boot test's emulated board (qemu-system-arm -M
# versatilepb) from Debian's linux-source-6.1 into DIR (default build-toolchain/kernel, beside the
# handheld toolchain): DIR/zImage, DIR/versatile-pb.dtb and the DIR/config they were built with.
# The configuration is allnoconfig plus tests/boot/kernel.config; every line of that file must
# hold in the result. The build runs in DIR/work, removed at the end; DIR/complete marks a
# finished kernel (and holds the build's time in seconds), so a second run does nothing.
# Usage: scripts/boot-kernel.sh [DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mkdir -p "${1:-build-toolchain/kernel}" && cd "${1:-build-toolchain/kernel}" && pwd)
[ -f "$dir/complete" ] && exit 0

source_tar=/usr/src/linux-source-6.1.tar.xz
fragment="$here/tests/boot/kernel.config"
work="$dir/work"
started=$(date +%s)
[ -f "$source_tar" ] || { echo "$0: $source_tar is missing (package linux-source-6.1)" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
echo "boot-kernel: building the boot test's kernel once, into $dir (about 6 minutes on 2 cores)"
tar -xJf "$source_tar" -C "$work"
src="$work/linux-source-6.1"
kmake() {
    make -C "$src" -j2 ARCH=arm CROSS_COMPILE=arm-linux-gnueabi- "$@" >>"$work/build.log" 2>&1 ||
        { tail -40 "$work/build.log"; echo "$0: make $* failed (log: $work/build.log)" >&2; exit 1; }
}

KCONFIG_ALLCONFIG="$fragment" kmake allnoconfig
# Every option asked for, set or unset, must have survived the dependencies.
grep -E '^CONFIG_|^# CONFIG_.* is not set$' "$fragment" | while read -r line; do
    grep -qxF "$line" "$src/.config" || { echo "$0: the configuration lost '$line'" >&2; exit 1; }
done

kmake zImage versatile-pb.dtb
cp "$src/arch/arm/boot/zImage" "$src/arch/arm/boot/dts/versatile-pb.dtb" "$dir/"
cp "$src/.config" "$dir/config"
rm -rf "$work"
echo $(($(date +%s) - started)) >"$dir/complete"
