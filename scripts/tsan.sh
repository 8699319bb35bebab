#!/usr/bin/env bash
# Builds the ThreadSanitizer configuration (build/ffdeck-tsan) and runs the add-on's concurrency tests in
# it, so a data race between decoding threads and length or position requests shows up as a report.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${WAVETROVE_TSAN_BUILD:-build/ffdeck-tsan}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVETROVE_TSAN=ON \
  -DWAVETROVE_SANITIZE=OFF -DWAVETROVE_GUI=OFF >/dev/null
cmake --build "$BUILD" -j2 --target ffdeck ffdeck_tests
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
"$BUILD/bin/ffdeck_tests" --gtest_filter='Concurrency.*' "$@"
