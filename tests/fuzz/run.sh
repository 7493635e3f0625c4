#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan and UBSan on) in build-fuzz and runs each for the
# given number of seconds. Every crash, leak or time-out input is copied into
# tests/fuzz/regressions/<target>/, where the replay tests of the normal build pick it up.
# Usage: tests/fuzz/run.sh [seconds per target, default 60] [target...]
# Exit status: 0 nothing found, 1 a target failed (its input is saved), 2 the build failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(framing settings xlswriter devicechange csvimport sessionreader)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

# The build paints its icons with a sanitized helper: Qt's offscreen plug-in leaks at exit.
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen LC_ALL=C

if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVIBVIEW_SANITIZE=ON -DVIBVIEW_FUZZ=ON \
        -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
        || exit 2
fi
cmake --build "$build" --parallel 2 --target "${targets[@]/#/fuzz_}" || exit 2

status=0
for target in "${targets[@]}"; do
    work=$build/fuzz-corpus/$target
    artifacts=$build/fuzz-artifacts/$target
    log=$build/fuzz-$target.log
    mkdir -p "$work" "$artifacts"
    # A session file is an SQLite database of several pages.
    max_len=4096
    [ "$target" = sessionreader ] && max_len=16384
    echo "fuzz_$target: ${seconds}s"
    # New inputs go into the first (working) folder; the seeds and regressions stay as they are.
    if "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target" >"$log" 2>&1; then
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)|cov: ' "$log" | tail -3
    else
        status=1
        echo "fuzz_$target FAILED, log: $log"
        grep -E 'ERROR|check failed|SUMMARY' "$log" | head -5
        for found in "$artifacts"/*; do
            [ -f "$found" ] || continue
            cp "$found" "tests/fuzz/regressions/$target/"
            echo "saved regression input tests/fuzz/regressions/$target/$(basename "$found")"
        done
    fi
done
exit $status
