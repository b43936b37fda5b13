#!/usr/bin/env bash
# Builds ovtool and walks through what the library does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target ovtool >/dev/null
run() { echo "\$ ovtool $*"; build/ovtool "$@" || true; echo; }
run help
run version
run errinfo 2
run errinfo s_nomemory
run errinfo 18
run errinfo 20
run dec add 123.45 -0.45
run dec div 1 3
run dec mul 12345678.9 0.001
run dec pack -12.5 5 2
run dec cmp 0.05 0.050
run dec mul 9999999999999999 9999999999999999
run dec div 1 0
run dec ceil -0.5
run calc '1 + 2 * 3'
run calc '-(1.5 - 4) / 3'
run calc '(0.1 + 0.2) * 3 - 0.9'
run calc '2 / (1 - 1)'
run calc '1 + * 2'
