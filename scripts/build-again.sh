#!/usr/bin/env bash
# Builds Kelvane.dll and KelvaneEntry1.dll a second time, from nothing, in
# another folder (BUILD-again) with the flags of BUILD, and compares them and
# their debug files byte for byte with BUILD's: no build path, time or
# ordering may reach them.
#   scripts/build-again.sh BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: build-again.sh BUILD}" && pwd)
again=$build-again
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
rm -rf "$again"
cmake -S "$root" -B "$again" -G "$(cache CMAKE_GENERATOR)" -DCMAKE_TOOLCHAIN_FILE="$(cache CMAKE_TOOLCHAIN_FILE)" \
  -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" -DKELVANE_WERROR="$(cache KELVANE_WERROR)" >/dev/null
nice cmake --build "$again" --target Kelvane KelvaneEntry -j2 >/dev/null
status=0
for f in Kelvane.dll Kelvane.dll.debug KelvaneEntry1.dll KelvaneEntry1.dll.debug; do
  if cmp "$build/bin/$f" "$again/bin/$f"; then echo "same bytes: $f"; else status=1; fi
done
[ $status -ne 0 ] || rm -rf "$again"
exit $status
