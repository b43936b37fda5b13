#!/usr/bin/env bash
# Builds everything and runs the whole test suite.  With --asan, builds and
# runs it under AddressSanitizer + UndefinedBehaviorSanitizer instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=default
[ "${1:-}" = "--asan" ] && preset=asan
scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
