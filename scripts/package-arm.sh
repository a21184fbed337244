#!/bin/sh
# Lays out the handheld package: dist/moonlark-arm.tar.gz holding the folder moonlark/ with the
# ARM binary, its data files, the launcher script moonlark.gpe, README-handheld.txt, and lib/
# with every shared library the binary needs, taken from the sysroot.
# Usage: scripts/package-arm.sh ARM_BUILD SYSROOT OUTPUT
#
# Debian's SDL 1.2 for armel is a layer over SDL 2 with no static library, and SDL 2 and libmikmod
# come only as shared libraries, so the binary links them dynamically. lib/ holds them all, the
# C library and its loader included: moonlark.gpe starts the binary through that loader with
# lib/ as its library path, so the package needs nothing from the device's own libraries, and the
# menu program the demo hands over to at the end does not inherit a library path.
set -eu

build=${1:?usage: $0 ARM_BUILD SYSROOT OUTPUT}
sysroot=${2:?usage: $0 ARM_BUILD SYSROOT OUTPUT}
output=${3:?usage: $0 ARM_BUILD SYSROOT OUTPUT}
here=$(dirname "$0")
stage="$build/package"
folder="$stage/moonlark"
rm -rf "$stage"
mkdir -p "$folder/lib" "$(dirname "$output")"

strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
"$strip" -o "$folder/moonlark" "$build/moonlark"
while read -r name; do
    cp "$build/$name" "$folder/"
done < "$build/data_files.txt"
cp "$here/handheld/moonlark.gpe" "$here/handheld/README-handheld.txt" "$folder/"
chmod 755 "$folder/moonlark.gpe"

libdirs="$sysroot/lib/arm-linux-gnueabi $sysroot/usr/lib/arm-linux-gnueabi
         $sysroot/usr/lib/arm-linux-gnueabi/pulseaudio"
# Copies library $1 into lib/ with everything it needs, once each.
add_library() {
    [ -e "$folder/lib/$1" ] && return 0
    for dir in $libdirs; do
        if [ -e "$dir/$1" ]; then
            cp -L "$dir/$1" "$folder/lib/$1"
            for needed in $(needed_by "$dir/$1"); do
                add_library "$needed"
            done
            return 0
        fi
    done
    echo "package-arm: $1 is not in $sysroot" >&2
    exit 1
}
needed_by() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}
# The loader is named by the binary's interpreter; SDL 1.2's layer opens SDL 2 by name at run time.
for needed in ld-linux.so.3 libSDL2-2.0.so.0 $(needed_by "$folder/moonlark"); do
    add_library "$needed"
done

tar -C "$stage" -czf "$output" moonlark
echo "package-arm: $output ($(du -h "$output" | cut -f1), $(ls "$folder/lib" | wc -l) libraries)"
