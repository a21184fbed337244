#!/bin/sh
# Runs the fuzz targets of a fuzzing build (make fuzz): each first replays its seeds
# (tests/fuzz/<target>/, and for the mesh loader the shipped meshes too), then fuzzes for
# SECONDS, growing its corpus in BUILD/corpus/<target>. A finding is written to
# BUILD/artifacts/ and ends the script with a failure.
#   usage: scripts/fuzz.sh BUILD [SECONDS]      (default 60 s per target)
set -eu
build=$1
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/artifacts"

for target in mesh_file fill_triangle; do
    seeds=$root/tests/fuzz/$target
    corpus=$build/corpus/$target
    mkdir -p "$corpus"
    case $target in
    mesh_file)
        # The shipped meshes are seeds too. They are replayed whole; while fuzzing, inputs
        # (and the meshes' first bytes) stay below 16 KiB, which keeps runs many and quick.
        cp "$root"/data/*.3do "$corpus"/
        replay="$seeds/* $root/data/*.3do"
        limits="-max_len=16384 -timeout=10" ;;
    fill_triangle)
        # The target reads 49 bytes; one triangle must take well under a second.
        replay="$seeds/*"
        limits="-max_len=49 -timeout=1" ;;
    esac
    echo "== fuzz_$target: replaying the seeds"
    # shellcheck disable=SC2086
    if ! "$build/fuzz_$target" $replay >"$build/fuzz_$target.log" 2>&1; then
        tail -n 60 "$build/fuzz_$target.log"
        exit 1
    fi
    echo "== fuzz_$target: fuzzing for $seconds s (log: $build/fuzz_$target.log)"
    # shellcheck disable=SC2086
    if ! "$build/fuzz_$target" $limits -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seeds" \
        >"$build/fuzz_$target.log" 2>&1; then
        tail -n 60 "$build/fuzz_$target.log"
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/fuzz_$target.log"
done
