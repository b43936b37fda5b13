#!/usr/bin/env bash
# Builds everything and runs the whole test suite (gcc, warnings as errors).
# One option picks another lane instead:
#   --asan   the suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   --tsan   the concurrency tests (suites named *Threads) under ThreadSanitizer
#   --clang  the suite built with clang and clang++
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") preset=default ;;
  --asan|--tsan|--clang) preset="${1#--}" ;;
  *) echo "usage: scripts/test.sh [--asan|--tsan|--clang]" >&2; exit 2 ;;
esac
scripts/setup.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
