#!/usr/bin/env bash
# Runs a Windows executable under Wine in a private prefix of the build tree.
# The prefix maps D: to a folder of the tree so D:\pellora_project\... can be
# provided. With KELVANE_WINE_SLOT=NAME (every ctest entry has one) the run
# is isolated: a prefix of its own (build/wineprefix-NAME), a D: of its own
# (build/wine-d-NAME) and a virtual display of its own, so entries run in
# parallel; its Wine server and display end with it.
set -euo pipefail
exe=$1; shift
# The build tree is the nearest folder above the executable with a CMakeCache.txt.
build=$(cd "$(dirname "$exe")" && pwd)
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
build=${KELVANE_BUILD_DIR:-$build}
slot=${KELVANE_WINE_SLOT:-}
if [ -n "$slot" ]; then
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-$slot}
  export KELVANE_WINE_D=${KELVANE_WINE_D:-$build/wine-d-$slot}
fi
# A bench script runs in a prefix and a drive D: of its own: a live bench in
# the usual prefix keeps its shared blocks and its Config.ini.
for a in "$@"; do
  if [ "$a" = --script ] && [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX=$build/wineprefix-script KELVANE_WINE_D=$build/wine-d-script
  fi
done
export WINEARCH=${KELVANE_WINE_ARCH:-win32}
if [ "$WINEARCH" = win32 ]; then
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
else
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix-$WINEARCH}
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "$slot" ]; then
  "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$build"
  exec wine "$exe" "$@"
fi

# An isolated run: its own display (the first free number, as Xvfb finds it).
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$fifo"
rm -f "$fifo"
export DISPLAY=:$display
status=0
"$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" "$build" || status=$?
[ "$status" -ne 0 ] || wine "$exe" "$@" || status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true
exit "$status"
