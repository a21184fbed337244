#!/bin/sh
# Fails unless every object of an ARM static library was compiled for ARCH (armv4t or armv5te)
# or an older core, as their build attributes say: an instruction the handheld's core lacks
# then fails the build rather than the handheld.
# Usage: scripts/check-arm-arch.sh READELF LIBRARY ARCH
set -eu
readelf=${1:?usage: $0 READELF LIBRARY ARCH}
library=${2:?usage: $0 READELF LIBRARY ARCH}
arch=${3:?usage: $0 READELF LIBRARY ARCH}
case $arch in
    armv4t) allowed="v4 v4T" ;;
    armv5te) allowed="v4 v4T v5T v5TE" ;;
    *) echo "$0: no rule for $arch" >&2; exit 2 ;;
esac
"$readelf" -A "$library" | awk -v allowed=" $allowed " -v lib="$library" -v arch="$arch" '
    /^File: / { object = $2 }
    /Tag_CPU_arch:/ {
        if (index(allowed, " " $2 " ") == 0) {
            printf "%s is compiled for %s, newer than %s\n", object, $2, arch
            bad = 1
        }
        seen = 1
    }
    END { if (!seen) { printf "%s: no ARM build attributes found\n", lib; bad = 1 } exit bad }'
