#!/bin/sh
# Lays out the handheld package: OUTPUT (a .tar.gz) holding the folder moonlark/ with the
# stripped static program, its data files, the menu's launcher script moonlark.gpe and
# README-handheld.txt. The program needs no library of the device's.
# Usage: scripts/package-handheld.sh HANDHELD_BUILD OUTPUT
set -eu

build=${1:?usage: $0 HANDHELD_BUILD OUTPUT}
output=${2:?usage: $0 HANDHELD_BUILD OUTPUT}
here=$(dirname "$0")
stage="$build/package"
folder="$stage/moonlark"
rm -rf "$stage"
mkdir -p "$folder" "$(dirname "$output")"

strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$build/CMakeCache.txt")
"$strip" -o "$folder/moonlark" "$build/moonlark"
while read -r name; do
    cp "$build/$name" "$folder/"
done < "$build/data_files.txt"
cp "$here/handheld/moonlark.gpe" "$here/handheld/README-handheld.txt" "$folder/"
chmod 755 "$folder/moonlark.gpe"
tar -C "$stage" --owner=0 --group=0 -czf "$output" moonlark
echo "package-handheld: $output, $(du -h "$output" | cut -f1)" \
     "(the program $(du -h "$folder/moonlark" | cut -f1))"
