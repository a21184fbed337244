#!/bin/sh
# Fails unless every instruction of the given ARM files runs on the handheld's ARM920T, an
# ARMv4T core: an instruction it lacks then fails the build rather than the handheld.
#   - a static library: each object's build attributes must name ARMv4T or older;
#   - a linked program: it must be static (no interpreter, no dynamic section), and its whole
#     code is disassembled, the C library's and the compiler runtime's included: every
#     instruction must be one of ARMv4T's ARM instructions. No
#     Thumb code, no instruction of ARMv5 or later (blx, clz, ldrd, strd, pld, bkpt, the
#     halfword multiplies and saturating adds of v5TE, ldrex, rev, movw, dmb, ...), no VFP or
#     NEON, and no access to the system coprocessor (CP15), which user code reaches only on
#     newer cores (the thread register, barriers).
# The exceptions are routines that run only on newer cores or cores with more coprocessors,
# named here:
#   - musl's atomic compare-and-swap, barrier and thread-pointer routines for ARMv6 and ARMv7:
#     musl picks them at start-up when the kernel reports the thread register (HWCAP_TLS,
#     ARMv6K and later), and the kernel's helpers otherwise;
#   - musl's setjmp and longjmp, which save and restore the FPA, VFP and iWMMXt registers only
#     when the kernel reports those coprocessors (HWCAP_FPA, HWCAP_VFP, HWCAP_IWMMXT);
#   - libgcc's unwinder routines that save and restore VFP and iWMMXt registers, called only
#     while unwinding a frame whose unwind table says it saved some, which only code compiled
#     for those coprocessors has.
# Usage: scripts/check-arm-arch.sh BINUTILS_PREFIX FILE...
set -eu
prefix=${1:?usage: $0 BINUTILS_PREFIX FILE...}
shift
newer_core_only="__a_barrier_v6 __a_barrier_v7 __a_cas_v6 __a_cas_v7 __a_gettp_cp15
                 __setjmp _setjmp setjmp _longjmp longjmp"
for regs in VFP VFP_D VFP_D_16_to_31 WMMXD WMMXC; do
    newer_core_only="$newer_core_only __gnu_Unwind_Save_$regs __gnu_Unwind_Restore_$regs"
done

check_attributes() {
    "${prefix}readelf" -A "$1" | awk -v file="$1" '
        BEGIN { object = file }
        /^File: / { object = $2 }
        /Tag_CPU_arch:/ {
            if ($2 != "v4" && $2 != "v4T") {
                printf "%s is compiled for %s, newer than ARMv4T\n", object, $2
                bad = 1
            }
            seen = 1
        }
        END { if (!seen) { printf "%s: no ARM build attributes found\n", file; bad = 1 } exit bad }'
}

check_code() {
    "${prefix}objdump" -d "$1" | awk -F '\t' -v file="$1" -v allowed=" $(echo $newer_core_only) " '
        BEGIN {
            cond = "(eq|ne|cs|hs|cc|lo|mi|pl|vs|vc|hi|ls|ge|lt|gt|le|al)?"
            # ARMv4T ARM instructions, in unified and in divided syntax (condition before or
            # after the suffix); "nop" is accepted only as mov r0, r0 (below).
            v4t = "^((and|eor|sub|rsb|add|adc|sbc|rsc|orr|bic|mov|mvn|lsl|lsr|asr|ror|rrx)" \
                  cond "s?" cond \
                  "|(tst|teq|cmp|cmn)" cond "p?" \
                  "|(mul|mla|umull|umlal|smull|smlal)" cond "s?" cond \
                  "|(ldr|str)" cond "(b|h|sb|sh|t|bt)?" cond \
                  "|(ldm|stm)" cond "(ia|ib|da|db|fd|fa|ed|ea)?" cond \
                  "|(push|pop|swp|swpb|b|bl|bx|svc|swi|mrs|msr)" cond \
                  "|(cdp|ldc|stc|mcr|mrc)" cond "l?" cond \
                  "|udf|nop)$"
        }
        /^[0-9a-f]+ <.*>:$/ { fn = substr($0, index($0, "<") + 1); sub(/>:$/, "", fn); next }
        NF < 3 || $1 !~ /^ *[0-9a-f]+:$/ { next }
        {
            raw = $2; gsub(/ /, "", raw); op = $3
            if (op ~ /^\./) next                              # data between functions
            why = ""
            if (length(raw) != 8) why = "Thumb code"
            else if (op == "") why = "undefined instruction"
            else if (op !~ v4t) why = "newer than ARMv4T"
            else if (op == "nop" && raw != "e1a00000") why = "newer than ARMv4T"
            else if (op ~ /^(mcr|mrc)/ && $4 ~ /^15,/) why = "system coprocessor"
            if (why == "") next
            if (index(allowed, " " fn " ")) next
            if (++bad <= 20) printf "%s: %s%s %s in %s (%s)\n", file, $1, $3, $4, fn, why
        }
        END {
            if (bad > 20) printf "%s: %d instructions in all\n", file, bad
            exit bad > 0
        }'
}

check_static() {
    if "${prefix}readelf" -lW "$1" | grep -qE '^ *(INTERP|DYNAMIC) '; then
        echo "$1: is not a static program (it has an interpreter or a dynamic section)"
        return 1
    fi
}

status=0
for file in "$@"; do
    check_attributes "$file" || status=1
    case $(od -An -c -N4 "$file" | tr -d ' ') in
        177ELF) { check_static "$file" && check_code "$file"; } || status=1 ;;
    esac
done
exit $status
