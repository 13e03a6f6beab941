#!/usr/bin/env bash
# Runs the product: builds Kelvane.dll, our Tamsil.dll and the bench host,
# then starts KelvaneBench under Wine in the build tree's private prefix,
# whose drive D: is build/cross/wine-d (the plug-in's KelvaneCtrl.ini is in
# D:\bench). With a display the bench opens there; without one the demo
# script runs on a virtual display and leaves its journal and screenshots.
# Scripts run in a prefix of their own (build/cross/wineprefix-script, D: is
# build/cross/wine-d-script), so a bench running meanwhile is untouched.
#   scripts/run.sh                      the bench (or the demo, headless)
#   scripts/run.sh --script F --out D [--pace MS]   any script, on the display
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset cross >/dev/null
cmake --build --preset cross --target KelvaneBench Kelvane Tamsil
build="$PWD/build/cross"
bin="$build/bin"
if [ -n "${DISPLAY:-}" ]; then
  status=0
  cmake/wine-run.sh "$bin/KelvaneBench.exe" "$@" || status=$?
  echo "Work folder (drive D:\\bench): $build/wine-d/bench/KelvaneCtrl.ini (scripts: wine-d-script)"
  exit $status
fi

export WINEPREFIX="$build/wineprefix-script" KELVANE_WINE_D="$build/wine-d-script"
out="$build/bench-out/demo"
rm -rf "$out"
mkdir -p "$out"
status=0
# The Wine server goes down before the virtual display does.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  sh -c 'cmake/wine-run.sh "$0" --script "$1" --out "$2"; s=$?; wineserver -k 2>/dev/null; exit $s' \
  "$bin/KelvaneBench.exe" "$PWD/bench/scripts/demo.txt" "$out" || status=$?
# The bench writes uncompressed PNGs; recompress them when ImageMagick is there.
if [ -x /usr/bin/convert ]; then
  for f in "$out"/*.png; do
    [ -f "$f" ] && /usr/bin/convert "$f" "$f.tmp.png" && mv "$f.tmp.png" "$f"
  done
fi
echo "Journal:     $out/journal.jsonl"
echo "Screenshots: $(ls "$out"/*.png 2>/dev/null | tr '\n' ' ')"
exit $status
