#!/bin/sh
# Builds the boot test's initramfs, OUT (a newc cpio archive): the guest's first process (with
# the joypad it makes) and the stand-in launcher /usr/gp2x/gp2xmenu, compiled from tests/boot/guest
# by the handheld toolchain in TOOLCHAIN, and the handheld package PACKAGE unpacked into /mnt/sd,
# as a user copies it to the console's SD card.
# Usage: scripts/boot-initramfs.sh TOOLCHAIN PACKAGE OUT
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
toolchain=${1:?usage: $0 TOOLCHAIN PACKAGE OUT}
package=${2:?usage: $0 TOOLCHAIN PACKAGE OUT}
out=${3:?usage: $0 TOOLCHAIN PACKAGE OUT}
prefix="$toolchain/bin/armv4t-linux-musleabi-"
guest="$here/tests/boot/guest"
[ -x "${prefix}gcc" ] || { echo "$0: no handheld toolchain in $toolchain" >&2; exit 1; }
[ -f "$package" ] || { echo "$0: $package is missing (make package-handheld)" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/dev" "$root/proc" "$root/sys" "$root/usr/gp2x" "$root/mnt/sd"
cflags="-O2 -Wall -Wextra -Werror"
# shellcheck disable=SC2086
"${prefix}gcc" $cflags -o "$root/init" "$guest/init.c" "$guest/joypad.c"
# shellcheck disable=SC2086
"${prefix}gcc" $cflags -o "$root/usr/gp2x/gp2xmenu" "$guest/gp2xmenu.c"
"${prefix}strip" "$root/init" "$root/usr/gp2x/gp2xmenu"
tar -xzf "$package" -C "$root/mnt/sd"
mkdir -p "$(dirname "$out")"
(cd "$root" && find . | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) >"$out.part"
mv "$out.part" "$out"
