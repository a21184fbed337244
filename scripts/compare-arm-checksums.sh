#!/bin/sh
# Plays the whole timeline at 60 fps with the x86-64 capture tool and, under qemu-arm emulating
# the handheld's ARMv4T core, with the handheld's static one, and fails unless every frame's
# checksum line is the same.
# Usage: scripts/compare-arm-checksums.sh HOST_BUILD HANDHELD_BUILD
set -eu

host=${1:?usage: $0 HOST_BUILD HANDHELD_BUILD}
arm=${2:?usage: $0 HOST_BUILD HANDHELD_BUILD}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$host/moonlark-capture" --fps 60 --checksums "$out/x86-64.txt" &
host_pid=$!
qemu-arm -cpu ti925t "$arm/moonlark-capture" --fps 60 --checksums "$out/arm.txt"
wait "$host_pid"

frames=$(wc -l < "$out/x86-64.txt")
if [ "$frames" -gt 0 ] && cmp -s "$out/x86-64.txt" "$out/arm.txt"; then
    echo "ARM and x86-64 checksums are identical: $frames frames at 60 fps"
else
    echo "ARM and x86-64 checksums differ (k clock state crc; x86-64 <, ARM >):"
    diff "$out/x86-64.txt" "$out/arm.txt" | head -20
    exit 1
fi
