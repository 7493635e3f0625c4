#!/usr/bin/env bash
# Runs the whole test suite of a build folder N times in a row, so that a test which passes only
# sometimes shows up; stops at the first run with a failure and says which run it was.
# Usage: scripts/repeat-tests.sh N [build folder, default build] [ctest options, e.g. -R tst_mydmm]
# Exit status: 0 every run passed, 1 a run failed, 2 bad arguments or no configured suite.
set -uo pipefail

usage() {
    echo "usage: scripts/repeat-tests.sh N [build folder] [ctest options]" >&2
    exit 2
}

[ $# -ge 1 ] || usage
runs=$1
[[ $runs =~ ^[1-9][0-9]*$ ]] || usage
build=${2:-$(dirname "$0")/../build}
shift $(($# < 2 ? $# : 2))
if [ ! -f "$build/CTestTestfile.cmake" ]; then
    echo "repeat-tests: $build holds no configured test suite (configure it with -DVIBVIEW_BUILD_TESTS=ON)" >&2
    exit 2
fi

jobs=${CTEST_PARALLEL_LEVEL:-$(nproc)}
for ((run = 1; run <= runs; run++)); do
    echo "repeat-tests: run $run of $runs"
    if ! (cd "$build" && ctest --output-on-failure -j "$jobs" "$@"); then
        echo "repeat-tests: run $run of $runs FAILED" >&2
        exit 1
    fi
done
echo "repeat-tests: all $runs runs passed"
