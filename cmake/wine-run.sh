#!/usr/bin/env bash
# Runs a Windows executable under Wine in the build tree's private prefix.
# The prefix maps D: to <build>/wine-d so D:\pellora_project\... can be provided.
set -euo pipefail
exe=$1; shift
# The build tree is the nearest folder above the executable with a CMakeCache.txt.
build=$(cd "$(dirname "$exe")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
build=${KELVANE_BUILD_DIR:-$build}
# A bench script runs in a prefix and a drive D: of its own: a live bench in
# the usual prefix keeps its shared blocks and its Config.ini.
for a in "$@"; do
  if [ "$a" = --script ] && [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX=$build/wineprefix-script KELVANE_WINE_D=$build/wine-d-script
  fi
done
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
"$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$build"
exec wine "$exe" "$@"
