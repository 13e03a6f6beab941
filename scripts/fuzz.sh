#!/usr/bin/env bash
# Fuzzes the INI load, default, publish and save rules natively with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer (tests/fuzz/IniFuzz.cpp), then
# the set-up reader the same way (tests/fuzz/SetupFuzz.cpp, seeds in
# tests/fuzz/setup-corpus).
#   scripts/fuzz.sh [INPUTS]        inputs to run (default 100000), each fuzzer
#   scripts/fuzz.sh --seconds S     as many inputs as S seconds take, each fuzzer,
#                                   from the repo's seeds alone (scripts/test.sh: 30 s)
#   --only ini|setup (last)         that fuzzer alone (the test command runs the two side by side)
# The seeds in tests/fuzz/corpus are copied into a working corpus under the
# build folder (KELVANE_FUZZ_DIR, default build/fuzz), which grows between runs;
# the repo's seeds stay as they are. A fuzzer is built again only when a source
# is newer than it. A finding is saved in <dir>/findings and the script exits
# non-zero. Prints the inputs run and the findings.
set -euo pipefail
cd "$(dirname "$0")/.."
only=""
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = --only ]; then only=$2; shift 2; else args+=("$1"); shift; fi
done
set -- ${args[@]+"${args[@]}"}
limit=(-runs="${1:-100000}")
out=${KELVANE_FUZZ_DIR:-build/fuzz}
fresh=0
if [ "${1:-}" = "--seconds" ]; then
  limit=(-runs=100000000 -max_total_time="$2")
  out=${KELVANE_FUZZ_DIR:-build/fuzz-short}
  fresh=1
fi
names=(ini setup)
[ -z "$only" ] || names=("$only")

if ! command -v clang++ >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing clang (libFuzzer)"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang >/dev/null
fi

mkdir -p "$out/findings"
# NAME: builds NAME_fuzz unless it is newer than every source it is made of.
build() {
  local bin=$out/$1_fuzz src=tests/fuzz/Ini
  [ "$1" = ini ] || src=tests/fuzz/Setup
  if [ -x "$bin" ] && [ -z "$(find base/logic core/logic include tests/fuzz -maxdepth 1 -newer "$bin" \
        \( -name '*.cpp' -o -name '*.h' \) | head -1)" ] && [ ! scripts/fuzz.sh -nt "$bin" ]; then
    return 0
  fi
  clang++ -std=c++17 -g -O1 -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I include -I . -I tests/fuzz "${src}Fuzz.cpp" base/logic/*.cpp core/logic/*.cpp -o "$bin.new"
  mv "$bin.new" "$bin"
}
pids=()
for n in "${names[@]}"; do build "$n" & pids+=($!); done
for p in "${pids[@]}"; do wait "$p"; done

stamp=$out/started-${only:-all}
touch "$stamp"
status=0
for n in "${names[@]}"; do
  corpus=$out/corpus seeds=tests/fuzz/corpus log=$out/log.txt
  if [ "$n" = setup ]; then corpus=$out/setup-corpus seeds=tests/fuzz/setup-corpus log=$out/setup-log.txt; fi
  [ "$fresh" -eq 0 ] || rm -rf "$corpus"
  mkdir -p "$corpus"
  cp "$seeds"/* "$corpus/"
  "$out/${n}_fuzz" "${limit[@]}" -dict=tests/fuzz/ini.dict -max_len=8192 -timeout=10 \
    -artifact_prefix="$out/findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
  ran=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "$n fuzzing: ${ran:-0} inputs run, corpus $(ls "$corpus" | wc -l) files (log: $log)"
  if [ "$status" -ne 0 ]; then grep -E "ERROR|runtime error|invariant broken|SUMMARY" "$log" | head -20 || true; fi
done
findings=$(find "$out/findings" -type f -newer "$stamp" | wc -l)
echo "$findings findings"
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  find "$out/findings" -type f -newer "$stamp"
  exit 1
fi
