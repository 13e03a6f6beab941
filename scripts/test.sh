#!/usr/bin/env bash
# Runs every test, both builds warning-free (-Werror): the platform-free rules
# natively (ASan + UBSan) with 30 s fuzzes of the INI rules and the set-up
# reader beside them (side by side; a fuzzer is built again only when its
# sources changed), then
# the cross build's tests under Wine, side by side, each with a Wine prefix, a
# drive D: and a virtual display of its own (the rules again on the target,
# the DLL's tables, the system tests, the environment matrix, short
# open/close and load/unload cycles judged by growth rate, the bench scripts
# and a short soak), with clang-tidy over every product file meanwhile.
# Prints the time of each phase at the end.
#   scripts/test.sh [--fast] [ctest options]
#   --fast   leaves out the fuzz, the cycles and the soak (ctest label "slow")
# Other arguments go to the cross build's ctest, e.g. -R wine_system.
set -uo pipefail
cd "$(dirname "$0")/.."
ctest_args=()
fast=()
for a in "$@"; do
  if [ "$a" = "--fast" ]; then fast=(-LE slow); else ctest_args+=("$a"); fi
done

phases=()
run_start=$(date +%s)
report() {
  echo
  echo "Phase times ($(nproc) cores; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)):"
  for p in "${phases[@]}"; do echo "  $p"; done
  printf '  %-36s %4d s\n' "total" $(( $(date +%s) - run_start ))
}
lint=""
trap '[ -z "$lint" ] || kill "$lint" 2>/dev/null; report' EXIT
# phase NAME COMMAND...: runs it, notes its time; a failure ends the run.
phase() {
  local name=$1 t0 status=0
  shift
  t0=$(date +%s)
  "$@" || status=$?
  phases+=("$(printf '%-36s %4d s%s' "$name" $(( $(date +%s) - t0 )) "$([ $status -eq 0 ] || echo "  FAILED")")")
  [ $status -eq 0 ] || exit $status
}

phase "dependencies" bash scripts/deps.sh
phase "native build" sh -c 'cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVANE_WERROR=ON >/dev/null &&
  cmake --build --preset native'
phase "native tests + 30 s fuzzes" ctest --preset native ${fast[@]+"${fast[@]}"}
phase "cross build" sh -c 'cmake --preset cross -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVANE_WERROR=ON >/dev/null &&
  cmake --build --preset cross'

# clang-tidy runs beside the Wine tests, at a lower priority: they wait on
# windows and timers much of the time.
lint_start=$(date +%s)
( nice -n 10 bash scripts/lint.sh >build/lint.log 2>&1; echo $? >build/lint.status; date +%s >build/lint.end ) &
lint=$!
phase "Wine tests (parallel)" ctest --preset cross ${fast[@]+"${fast[@]}"} ${ctest_args[@]+"${ctest_args[@]}"}
wait "$lint"
lint=""
cat build/lint.log
phases+=("$(printf '%-36s %4d s' "clang-tidy (beside the Wine tests)" $(( $(cat build/lint.end) - lint_start )))")
[ "$(cat build/lint.status)" -eq 0 ] || exit 1
