#!/usr/bin/env bash
# Builds ovtool (the library and the tool only: no tests, no benchmarks) and
# walks through what the library does.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --build-only
cmake --preset tour >/dev/null
cmake --build --preset tour >/dev/null
run() { echo "\$ ovtool $*"; build-tour/ovtool "$@" || true; echo; }
run help
run --version
run sysinfo
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
run dec --limits 64/32 mul 9999999999999999 9999999999999999
run dec div 1 0
run dec ceil -0.5
run date 2000-02-29
run date 9999-dec-31
run date 719163
run date today
run date 1900-02-29
mkdir -p build/tour
ini=build/tour/server.ini
cp tools/ovtool/sample.ini "$ini"
run ini get "$ini"
run ini get "$ini" server
run ini get "$ini" Server port
run ini set "$ini" Server Port 1600
run ini set "$ini" Clients Trace on
run ini set "$ini" Backup Dir /srv/backup
run ini del "$ini" Logging
run ini del "$ini" Server DataDir
echo "\$ cat $ini"; cat "$ini"; echo
run ini get "$ini" Logging
run ini get "$ini" Server DataDir
run ini set "$ini.missing" Server Port 1
rm -r build/tour
run calc '1 + 2 * 3'
run calc '-(1.5 - 4) / 3'
run calc '(0.1 + 0.2) * 3 - 0.9'
run calc '2 / (1 - 1)'
run calc '1 + * 2'
