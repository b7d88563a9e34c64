#!/bin/sh
# Runs every fuzz target of a sanitizer build for SECONDS seconds each, one after
# the other, starting from its seed corpus. Fails when any target finds something;
# the input that broke it is left in BUILD/fuzz-findings/.
#   tools/run-fuzz.sh BUILD SECONDS
set -u
build=$1
seconds=$2
seeds="$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/seeds"
mkdir -p "$build/fuzz-findings" "$build/fuzz-corpus"
failed=""
found=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    found=1
    name=$(basename "$target")
    corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    log="$build/fuzz-findings/$name.log"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-findings/$name-" "$corpus" "$seeds/$name" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ $status -eq 0 ]; then
        echo "$name: ${runs:-?} runs in ${seconds} s, no finding"
    else
        echo "$name: FINDING after ${runs:-?} runs (exit $status); see $log"
        tail -n 40 "$log"
        failed="$failed $name"
    fi
done
if [ $found -eq 0 ]; then
    echo "No fuzz targets in $build/fuzz: build that tree with clang and the address sanitizer." >&2
    exit 1
fi
[ -z "$failed" ] || { echo "Fuzz findings in:$failed"; exit 1; }
