#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${WAVETROVE_TEST_BUILD:-build/test}
# Configure's progress lines are hidden; its errors (a missing required component) are not, and its summary
# of what is built and which optional parts are missing is shown.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVETROVE_SANITIZE=ON >/dev/null
cat "$BUILD/configure-summary.txt"
cmake --build "$BUILD"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cd "$BUILD"
ctest --output-on-failure -j "$(nproc)" "$@"
