#!/bin/sh
# The instruction check of the handheld's programs (scripts/check-arm-arch.sh) passes a static
# ARMv4T program and fails one holding a single instruction the ARM920T lacks, whichever it is.
# Usage: tests/check_arm_arch_test.sh CHECK BINUTILS_PREFIX C_COMPILER
set -eu
check=$1 prefix=$2 cc=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# Links a program whose main runs the assembly lines $2 (in architecture $3) into $dir/$1.
program() {
    printf '.syntax unified\n.arch %s\n%s\n.text\n.global main\n.type main,%%function\n' \
        "$3" "${4:-.arm}" >"$dir/$1.s"
    printf 'main:\n%s\n' "$2" >>"$dir/$1.s"
    "$cc" "$dir/$1.s" -o "$dir/$1"
}

program v4t '  mul r0, r1, r0
  ldrh r0, [sp]
  bx lr' armv4t
"$check" "$prefix" "$dir/v4t" || { echo "an ARMv4T program fails the check"; exit 1; }

failures=0
for case in 'clz:clz r0, r0:armv5te' 'blx:blx r3:armv5te' 'ldrd:ldrd r0, r1, [sp]:armv5te' \
            'pld:pld [r0]:armv5te' 'smulbb:smulbb r0, r0, r0:armv5te' \
            'ldrex:ldrex r0, [sp]:armv6' 'movw:movw r0, #1:armv7-a' 'dmb:dmb ish:armv7-a' \
            'cp15:mrc p15, 0, r0, c13, c0, 3:armv4t' 'vfp:.fpu vfp; vmov.f32 s0, s1:armv7-a'; do
    name=${case%%:*} rest=${case#*:}
    program "$name" "  ${rest%:*}
  bx lr" "${rest##*:}"
    if "$check" "$prefix" "$dir/$name" >"$dir/$name.out"; then
        echo "the check passes a program with $name"; failures=$((failures + 1))
    elif ! grep -q "in main" "$dir/$name.out"; then
        echo "the check does not name main for $name:"
        cat "$dir/$name.out"
        failures=$((failures + 1))
    fi
done
program thumb '  adds r0, r0, #1
  bx lr' armv4t .thumb
if "$check" "$prefix" "$dir/thumb" >/dev/null; then
    echo "the check passes Thumb code"
    failures=$((failures + 1))
fi
exit $failures
