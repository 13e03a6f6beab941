#!/usr/bin/env bash
# Prints the benchmark figures (ratios to baselines measured in the same run);
# an argument picks a part: trend, health or show.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset cross >/dev/null
cmake --build --preset cross --target kelvane_figures
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  sh -c 'cmake/wine-run.sh build/cross/bin/kelvane_figures.exe "$@"; s=$?; WINEPREFIX="$PWD/build/cross/wineprefix" wineserver -k; exit $s' sh "$@"
