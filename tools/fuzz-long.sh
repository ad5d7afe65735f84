#!/usr/bin/env bash
# Fuzzes each libFuzzer target for a number of executions (default one million each), starting
# from the seed corpus in fuzz/corpus/, with the targets of the sanitizer build.
#
#   tools/fuzz-long.sh [RUNS]        e.g. nice -n 10 tools/fuzz-long.sh 5000000
#
# TIMEOUT (default 30) is the seconds one input may take before it counts as a hang: generous,
# because a long run shares the machine, and a loaded machine stretches an input's wall time.
# BUILD chooses the build folder (default build-asan, configured with -DASPHALTIX_FUZZ=ON); the
# targets are built there first. Each target keeps what it found worth keeping in
# BUILD/corpus-long-NAME, so a second long run goes on from the first; its log is
# BUILD/fuzz-long-NAME.log. A crash, leak, timeout or out-of-memory input is written to
# BUILD/fuzz-findings/NAME/: such a finding, once understood, becomes a seed file in
# fuzz/corpus/NAME/ and a test. Exit status 1 when a target found something, 2 for bad use.
set -uo pipefail
cd "$(dirname "$0")/.."

RUNS=${1:-1000000}
BUILD=${BUILD:-build-asan}
TIMEOUT=${TIMEOUT:-30}
if ! [[ $RUNS =~ ^[0-9]+$ ]] || [ "$RUNS" -eq 0 ]; then
    echo "usage: tools/fuzz-long.sh [RUNS]" >&2
    exit 2
fi

targets=()
for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
if ! ninja -C "$BUILD" "${targets[@]}" >/dev/null; then
    echo "cannot build the fuzz targets in $BUILD (configure it with clang and" \
        "-DASPHALTIX_FUZZ=ON)" >&2
    exit 2
fi

status=0
for name in "${targets[@]}"; do
    short=${name#fuzz_}
    work=$BUILD/corpus-long-$short
    findings=$BUILD/fuzz-findings/$short
    log=$BUILD/fuzz-long-$short.log
    mkdir -p "$work" "$findings"
    echo "== $name: $RUNS executions"
    started=$(date +%s)
    "$BUILD/bin/$name" -runs="$RUNS" -rss_limit_mb=2048 -timeout="$TIMEOUT" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "fuzz/corpus/$short" >"$log" 2>&1
    result=$?
    seconds=$(($(date +%s) - started))
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    added=$(sed -n 's/^stat::new_units_added: *//p' "$log")
    found=$(find "$findings" -type f | wc -l)
    echo "   ${executed:-?} executions in ${seconds} s" \
        "($((${executed:-0} / (seconds > 0 ? seconds : 1))) a second), ${added:-?} new inputs," \
        "$(find "$work" -type f | wc -l) in the work corpus, ${found} findings in $findings"
    if [ "$result" -ne 0 ] || [ "$found" -ne 0 ]; then
        status=1
        grep -E "^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)" "$log" | head -n 8
    fi
done
exit $status
