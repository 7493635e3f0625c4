#!/usr/bin/env bash
# Runs, once each under valgrind, the test cases where an object could be used after it was freed:
# the meter unplugged during a download (the serial port must outlive its own signal) and the
# plug-in deleted by a receiver of its read signal. AddressSanitizer cannot see these, as Qt
# itself is not instrumented. Any error valgrind reports fails the run.
# Usage: scripts/valgrind.sh [build folder, not sanitized; default build]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if ! command -v valgrind >/dev/null; then
    echo "valgrind: not installed (Debian package valgrind); skipped"
    exit 0
fi

export QT_QPA_PLATFORM=offscreen LC_ALL=C LANG=C QT_LOGGING_RULES='*.debug=false'
# Everything runs many times slower: QTest's own limit per test function would end it.
export QTEST_FUNCTION_TIMEOUT=900000

cases=(
    "tests/app/tst_widget_meter/tst_widget_meter unplugDuringDownload"
    "tests/meter/tst_mydmm_sim/tst_mydmm_sim unplugWhileAReceiverSpinsTheEventLoop"
    "tests/uartix/tst_uartix/tst_uartix receiverDeletesThePlugin"
)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
failed=0
for entry in "${cases[@]}"; do
    read -r binary function <<<"$entry"
    if [ ! -x "$build/$binary" ]; then
        echo "FAIL $binary $function: not built in $build"
        failed=1
        continue
    fi
    if timeout 1800 valgrind --error-exitcode=1 --suppressions=scripts/valgrind.supp -q \
        "$build/$binary" "$function" >"$log" 2>&1; then
        echo "ok   valgrind $binary $function"
    else
        echo "FAIL valgrind $binary $function"
        cat "$log"
        failed=1
    fi
done
exit $failed
