#!/usr/bin/env bash
# Runs every test: the platform-free rules natively (ASan + UBSan), then the
# cross build's tests under Wine on a virtual display (rules again on the
# target, the DLL's export/import tables, and the system tests).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset cross >/dev/null
cmake --build --preset cross
status=0
# The Wine server goes down before the virtual display does.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  sh -c 'ctest --preset cross "$@"; s=$?; WINEPREFIX="$PWD/build/cross/wineprefix" wineserver -k 2>/dev/null; exit $s' \
  ctest "$@" || status=$?
exit $status
