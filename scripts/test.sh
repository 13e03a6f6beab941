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
# The release's long checks (ctest label "release") are scripts/release-check.sh's.
# Other arguments go to the cross build's ctest, e.g. -R wine_system.
set -uo pipefail
cd "$(dirname "$0")/.."
ctest_args=()
fast=(-LE release)
for a in "$@"; do
  if [ "$a" = "--fast" ]; then fast=(-LE 'slow|release'); else ctest_args+=("$a"); fi
done

phases=()
run_start=$(date +%s)
report() {
  echo
  echo "Phase times ($(nproc) cores; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)):"
  for p in "${phases[@]}"; do echo "  $p"; done
  printf '  %-36s %4d s\n' "total" $(( $(date +%s) - run_start ))
}
lints=()
trap 'for p in ${lints[@]+"${lints[@]}"}; do kill -- "-$p" 2>/dev/null; done; report' EXIT
# phase NAME COMMAND...: runs it, notes its time; a failure ends the run.
phase() {
  local name=$1 t0 status=0
  shift
  t0=$(date +%s)
  "$@" || status=$?
  phases+=("$(printf '%-36s %4d s%s' "$name" $(( $(date +%s) - t0 )) "$([ $status -eq 0 ] || echo "  FAILED")")")
  [ $status -eq 0 ] || exit $status
}

# clang-tidy runs at a lower priority beside the rest: the platform-free part
# from the native build on (the fuzzes run for a fixed time, the Wine tests
# wait on windows and timers much of the time), the Win32 part from the cross
# build on. lint_start PART starts one in the background.
lint_start() {
  # A process group of its own, so a run that ends early stops every clang-tidy.
  setsid bash -c 't0=$(date +%s); nice -n 10 bash scripts/lint.sh "$1" >"build/lint-$1.log" 2>&1
    echo "$? $(( $(date +%s) - t0 ))" >"build/lint-$1.status"' _ "$1" &
  lints+=("$!")
}
lint_finish() {
  local part status seconds failed=0
  wait "${lints[@]}"
  lints=()
  for part in platform-free win32; do
    [ -f "build/lint-$part.status" ] || continue
    read -r status seconds <"build/lint-$part.status"
    cat "build/lint-$part.log"
    phases+=("$(printf '%-36s %4d s%s' "clang-tidy, $part (beside)" "$seconds" "$([ "$status" -eq 0 ] || echo "  FAILED")")")
    [ "$status" -eq 0 ] || failed=1
  done
  return $failed
}

phase "dependencies" bash scripts/deps.sh
phase "native build" sh -c 'cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVANE_WERROR=ON >/dev/null &&
  cmake --build --preset native'
rm -f build/lint-*.status
lint_start platform-free
phase "native tests + 30 s fuzzes" ctest --preset native ${fast[@]+"${fast[@]}"}
phase "cross build" sh -c 'cmake --preset cross -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKELVANE_WERROR=ON >/dev/null &&
  cmake --build --preset cross'
lint_start win32
phase "Wine tests (parallel)" ctest --preset cross ${fast[@]+"${fast[@]}"} ${ctest_args[@]+"${ctest_args[@]}"}
phase "clang-tidy, the rest after the tests" lint_finish
