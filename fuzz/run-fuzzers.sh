#!/usr/bin/env bash
# Runs every fuzz target for a given time, JOBS of them at once.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS [JOBS] [TARGET...]
# New inputs go to BUILD_DIR/fuzz-corpus/<name> (the committed seeds in
# fuzz/corpus/<name> are read, never written); crashers go to
# BUILD_DIR/fuzz-artifacts/<name>/. Exits non-zero when any target found one.
set -u
build=$1
seconds=$2
jobs=${3:-1}
shift 3 2>/dev/null || shift $#
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$here"/fuzz_*.cpp; do
        n=$(basename "$f" .cpp)
        targets+=("${n#fuzz_}")
    done
fi

run_one() {
    local name=$1
    local work="$build/fuzz-corpus/$name" artifacts="$build/fuzz-artifacts/$name"
    mkdir -p "$work" "$artifacts"
    local started
    started=$(date +%s)
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
        -timeout=20 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" "$here/corpus/$name" >"$build/fuzz-$name.log" 2>&1
    local rc=$?
    local runs elapsed
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/fuzz-$name.log" | grep -o '[0-9]*$')
    elapsed=$(( $(date +%s) - started ))
    echo "fuzz_$name: ${elapsed}s, ${runs:-?} executions, exit $rc, $(ls "$artifacts" | wc -l) file(s) in $artifacts"
    return $rc
}

status=0
pids=()
for name in "${targets[@]}"; do
    run_one "$name" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$jobs" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for p in "${pids[@]}"; do
    wait "$p" || status=1
done
exit $status
