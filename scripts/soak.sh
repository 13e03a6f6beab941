#!/usr/bin/env bash
# The long runs: the open/close and load/unload cycles at full length (1000
# and 100, judged by growth rate as in the test command) and all 200 damaged
# settings and host files (the test command runs 43), then the bench soak
# for MINUTES: a seeded random operator and host (clicks on every control,
# typed numbers, garbage, huge and empty text, keys, page switches, Send all,
# Downloads with bad fields, frames streaming, stopping, dropped and
# unreadable, DSP reports, host states, the settings file locked or read-only
# for a while, close and reopen, unload and reload) with the invariants
# checked after every step. Prints steps per second; a failing seed leaves a
# bench script that replays it (replay.txt) and one cut down to the steps that
# still fail the same way (short-replay.txt, at most 10 minutes of tries).
#   scripts/soak.sh [MINUTES] [SEED]    (default 30 minutes, a seed from the clock)
#   KELVANE_SOAK_CYCLES=0 leaves the cycles out.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
seed=${2:-$(( $(date +%s) % 100000 ))}
bash scripts/deps.sh
cmake --preset cross -DKELVANE_WERROR=ON >/dev/null
cmake --build --preset cross --target KelvaneBench kelvane_wine_tests >/dev/null
status=0
if [ "${KELVANE_SOAK_CYCLES:-1}" != 0 ]; then
  echo "Cycles and damaged files at full length (several minutes)"
  KELVANE_SLOW=1 KELVANE_WINE_SLOT=soak-cycles cmake/wine-run.sh build/cross/bin/kelvane_wine_tests.exe \
    --gtest_filter=Cycles.*:Hardening.DamagedIniAndConfigFiles | grep -E "figures|FAILED|OK|PASSED|Failure|bound" || status=1
fi
out=build/cross/bench-out/soak-long
echo "Soak: $minutes minutes, seed $seed"
rm -f "$out/short-replay.txt"
KELVANE_WINE_SLOT=soak-long cmake/wine-run.sh build/cross/bin/KelvaneBench.exe --soak $(( minutes * 60 )) \
  --seed "$seed" --shrink-seconds 600 --out "$PWD/$out" --work 'D:\soak-long' | grep -v "message box" || status=1
if [ "$status" -ne 0 ] && [ -f "$out/replay.txt" ]; then
  echo "Replay ($(grep -vc '^#' "$out/replay.txt") steps): build/cross/bin/KelvaneBench.exe --script $out/replay.txt"
  # A soak that died (a crash, a step that never returned) had no time to cut it.
  if [ ! -f "$out/short-replay.txt" ]; then
    KELVANE_WINE_SLOT=soak-long cmake/wine-run.sh build/cross/bin/KelvaneBench.exe --shrink "$PWD/$out/replay.txt" \
      --shrink-seconds 600 --out "$PWD/$out" | grep -v "message box" || true
  fi
fi
exit $status
