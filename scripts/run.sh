#!/usr/bin/env bash
# Runs the product: builds Kelvane.dll and loads it in a host under Wine.
# With a display the control window opens; without one, start-up is shown
# on a virtual display. The host's drive D: is build/cross/wine-d.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset cross >/dev/null
cmake --build --preset cross --target KelvaneProbe Kelvane Tamsil
bin="$PWD/build/cross/bin"
if [ -n "${DISPLAY:-}" ]; then
  cmake/wine-run.sh "$bin/KelvaneProbe.exe" --show --frames 1 "$@"
else
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    sh -c 'cmake/wine-run.sh "$0" --frames 1 "$@"; s=$?; WINEPREFIX="$PWD/build/cross/wineprefix" wineserver -k; exit $s' \
    "$bin/KelvaneProbe.exe" "$@"
fi
echo "Bench folder (drive D:): $PWD/build/cross/wine-d  (KelvaneCtrl.ini is in D:\\bench)"
