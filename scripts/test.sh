#!/usr/bin/env bash
# Runs every test, both builds warning-free (-Werror): the platform-free rules
# natively (ASan + UBSan), clang-tidy over the platform-free code, then the
# cross build's tests under Wine on a virtual display (rules again on the
# target, the DLL's export/import tables, and the system tests, including the
# slow open/close and load/unload cycles).
#   scripts/test.sh [--fast] [ctest options]
#   --fast   skip the slow cycle tests (KELVANE_SLOW=1 otherwise; CI runs them)
set -euo pipefail
cd "$(dirname "$0")/.."
export KELVANE_SLOW=1
args=()
for a in "$@"; do
  if [ "$a" = "--fast" ]; then KELVANE_SLOW=0; else args+=("$a"); fi
done
set -- ${args[@]+"${args[@]}"}
bash scripts/deps.sh

cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVANE_WERROR=ON >/dev/null
cmake --build --preset native
ctest --preset native

# Lint: findings fail the run (.clang-tidy says which checks and why).
if ! command -v clang-tidy >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang-tidy >/dev/null
fi
lint=0
clang-tidy -p build/native --quiet base/logic/*.cpp core/logic/*.cpp framework/logic/*.cpp pages/logic/*.cpp \
  shell/logic/*.cpp bench/logic/*.cpp >build/native/clang-tidy.log 2>&1 || lint=$?
grep -v "warnings generated\.$" build/native/clang-tidy.log || true
if [ "$lint" -ne 0 ]; then echo "clang-tidy: findings (see above)"; exit "$lint"; fi
echo "clang-tidy: no findings"

cmake --preset cross -DKELVANE_WERROR=ON >/dev/null
cmake --build --preset cross
status=0
# The Wine servers (one per prefix: the matrix has a 144 DPI one) go down
# before the virtual display does.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  sh -c 'ctest --preset cross "$@"; s=$?
         for p in "$PWD"/build/cross/wineprefix*; do WINEPREFIX="$p" wineserver -k 2>/dev/null; done; exit $s' \
  ctest "$@" || status=$?
exit $status
