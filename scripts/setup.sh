#!/usr/bin/env bash
# Installs what the build needs (compiler, CMake, GoogleTest, Google
# Benchmark, binutils, pkg-config, clang, the benchmarks' peers (GLib, libdfp),
# the parser generator used by the parse-table tests, locales) from Debian's
# archive, if missing.
# With --build-only, installs just what building the library and ovtool needs.
set -euo pipefail
pkgs=(g++ clang cmake make libgtest-dev libgmock-dev libbenchmark-dev binutils pkg-config
      libglib2.0-dev libdfp-dev 9base locales)
[ "${1:-}" = "--build-only" ] && pkgs=(g++ cmake make 9base)
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

# The parse-table tests, the parser benchmark and `ovtool calc` generate
# tables with 9base's yacc at build time.  The binary package lacks the
# parser skeleton that yacc copies into its output; it comes from the source
# package, so a deb-src entry is added (once) and the skeleton is kept in a
# cache directory that the build hands to yacc through PLAN9.
yacc_cache="${OVBASE_YACC_HOME:-${XDG_CACHE_HOME:-$HOME/.cache}/ovbase/plan9}"
if [ ! -s "$yacc_cache/yacc/yaccpar" ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  src_list=/etc/apt/sources.list.d/ovbase-deb-src.sources
  if [ ! -f "$src_list" ]; then
    echo "setup: adding $src_list for the yacc skeleton"
    suite="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' "Suites: $suite" \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$src_list" >/dev/null
    $SUDO apt-get update -qq
  fi
  dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed" ||
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq dpkg-dev
  work="$(mktemp -d)"; chmod 0755 "$work"
  # A stale package list (the entry added on an earlier run) gets one update.
  (cd "$work" && apt-get source -qq 9base >/dev/null 2>&1) ||
    { $SUDO apt-get update -qq && (cd "$work" && apt-get source -qq 9base >/dev/null); }
  skel="$(find "$work" -path '*/yacc/yaccpar' -print -quit)"
  if [ -z "$skel" ]; then echo "setup: no yacc skeleton in the 9base source package" >&2; exit 1; fi
  mkdir -p "$yacc_cache/yacc"
  cp "$skel" "$yacc_cache/yacc/yaccpar"
  [ -f "$(dirname "$skel")/yaccpars" ] && cp "$(dirname "$skel")/yaccpars" "$yacc_cache/yacc/"
  rm -rf "$work"
  echo "setup: yacc skeleton in $yacc_cache"
fi
