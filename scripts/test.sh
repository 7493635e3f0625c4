#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite twice: once as shipped (build/),
# once with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), where any memory error,
# undefined behaviour or leak fails the test that caused it. In between, the cases where Qt's own
# objects could be used after being freed run once under valgrind (when it is installed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh build -DVIBVIEW_BUILD_TESTS=ON
(cd build && ctest --output-on-failure --timeout 300 -j "$(nproc)")
bash scripts/valgrind.sh build

# The build needs the same settings as the tests, as it runs a sanitized helper (the icon
# painter). The suppressions name only system libraries (scripts/lsan.supp).
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVIBVIEW_SANITIZE=ON -DVIBVIEW_BUILD_TESTS=ON
(cd build-asan && ctest --output-on-failure --timeout 900 -j "$(nproc)")
