#!/usr/bin/env bash
# Screenshots of the control window at 96, 120, 144 and 192 DPI, as a
# DPI-aware host shows it on a field laptop's screen (1920x1080; 3840x2160
# for 192 DPI), into docs/screenshots/dpi-<DPI>-<page>.png. Each DPI has a
# Wine prefix of its own in the build tree (the 144 one is the test matrix's).
#   scripts/dpi-shots.sh [DPI...]      default: 96 120 144 192
# KELVANE_SHOTS=trend runs bench/scripts/trend.txt instead (the read-back
# trend window, docs/screenshots/dpi-<DPI>-trend.png).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset cross >/dev/null
cmake --build --preset cross --target KelvaneBench Kelvane Tamsil
build="$PWD/build/cross"
[ $# -gt 0 ] || set -- 96 120 144 192
for dpi in "$@"; do
  screen=1920x1080
  [ "$dpi" -lt 192 ] || screen=3840x2160
  prefix="$build/wineprefix-dpi$dpi"
  [ "$dpi" -ne 96 ] || prefix="$build/wineprefix"
  out="$build/bench-out/dpi-$dpi"
  rm -rf "$out"
  mkdir -p "$out"
  WINEPREFIX="$prefix" KELVANE_WINE_DPI="$dpi" xvfb-run -a -s "-screen 0 ${screen}x24 -nolisten tcp" \
    sh -c 'cmake/wine-run.sh "$0" --script "$1" --out "$2" --work "D:\\dpi-shots"; s=$?; wineserver -k; exit $s' \
    "$build/bin/KelvaneBench.exe" "$PWD/bench/scripts/${KELVANE_SHOTS:-dpi}.txt" "$out"
  for f in "$out"/*.png; do
    /usr/bin/convert "$f" "docs/screenshots/dpi-$dpi-$(basename "$f")"
  done
done
ls docs/screenshots/dpi-*.png
