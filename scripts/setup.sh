#!/usr/bin/env bash
# Installs what the build needs (compiler, CMake, GoogleTest, Google
# Benchmark, binutils, pkg-config, clang, the benchmarks' peers (GLib, libdfp),
# the parser generator used by the parse-table tests, locales) from Debian's
# archive, if missing.
# With --build-only, installs just what building the library and ovtool needs.
set -euo pipefail
pkgs=(g++ clang cmake make libgtest-dev libgmock-dev libbenchmark-dev binutils pkg-config
      libglib2.0-dev libdfp-dev 9base locales)
[ "${1:-}" = "--build-only" ] && pkgs=(g++ cmake make)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

# The collation tests compare with libc in a real collating locale (UTF-8 and
# Latin-1); generate those once if the machine has none.
if command -v localedef >/dev/null && ! locale -a 2>/dev/null | grep -qix 'en_US.utf8'; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO localedef -i en_US -f UTF-8 en_US.UTF-8 2>/dev/null || true
  $SUDO localedef -i en_US -f ISO-8859-1 en_US.ISO-8859-1 2>/dev/null || true
fi
