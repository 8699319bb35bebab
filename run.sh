#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the program with the given
# arguments (wavetrove-probe when the program is not built).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/deps.sh
BUILD=${WAVETROVE_BUILD:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWAVETROVE_TESTS=OFF >/dev/null
cmake --build "$BUILD"
if [ -x "$BUILD/bin/wavetrove" ]; then
  exec "$BUILD/bin/wavetrove" "$@"
fi
exec "$BUILD/bin/wavetrove-probe" "$@"
