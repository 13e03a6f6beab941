#!/usr/bin/env bash
# Fuzzes the INI load, default, publish and save rules natively with libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer (tests/fuzz/IniFuzz.cpp), then
# the set-up reader the same way (tests/fuzz/SetupFuzz.cpp, seeds in
# tests/fuzz/setup-corpus).
#   scripts/fuzz.sh [INPUTS]        inputs to run (default 100000), each fuzzer
#   scripts/fuzz.sh --seconds S     as many inputs as S seconds take, each fuzzer,
#                                   from the repo's seeds alone (scripts/test.sh: 30 s)
# The seeds in tests/fuzz/corpus are copied into a working corpus under the
# build folder (KELVANE_FUZZ_DIR, default build/fuzz), which grows between runs;
# the repo's seeds stay as they are. A finding is saved in <dir>/findings and
# the script exits non-zero. Prints the inputs run and the findings.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=(-runs="${1:-100000}")
out=${KELVANE_FUZZ_DIR:-build/fuzz}
if [ "${1:-}" = "--seconds" ]; then
  limit=(-runs=100000000 -max_total_time="$2")
  out=${KELVANE_FUZZ_DIR:-build/fuzz-short}
  rm -rf "$out/corpus" "$out/setup-corpus"
fi

if ! command -v clang++ >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing clang (libFuzzer)"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq clang >/dev/null
fi

mkdir -p "$out/corpus" "$out/findings"
clang++ -std=c++17 -g -O1 -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I include -I . -I tests/fuzz tests/fuzz/IniFuzz.cpp base/logic/*.cpp core/logic/*.cpp -o "$out/ini_fuzz"
clang++ -std=c++17 -g -O1 -Wall -Wextra -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I include -I . -I tests/fuzz tests/fuzz/SetupFuzz.cpp base/logic/*.cpp core/logic/*.cpp -o "$out/setup_fuzz"
cp tests/fuzz/corpus/* "$out/corpus/"
mkdir -p "$out/setup-corpus"
cp tests/fuzz/setup-corpus/* "$out/setup-corpus/"

status=0
"$out/ini_fuzz" "${limit[@]}" -dict=tests/fuzz/ini.dict -max_len=8192 -timeout=10 \
  -artifact_prefix="$out/findings/" -print_final_stats=1 "$out/corpus" >"$out/log.txt" 2>&1 || status=$?

"$out/setup_fuzz" "${limit[@]}" -dict=tests/fuzz/ini.dict -max_len=8192 -timeout=10 \
  -artifact_prefix="$out/findings/" -print_final_stats=1 "$out/setup-corpus" >"$out/setup-log.txt" 2>&1 || status=$?
setupRan=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/setup-log.txt" | tail -1)
echo "Set-up fuzzing: ${setupRan:-0} inputs run (log: $out/setup-log.txt)"

ran=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log.txt" | tail -1)
findings=$(find "$out/findings" -type f -newer "$out/ini_fuzz" | wc -l)
echo "INI fuzzing: ${ran:-0} inputs run, corpus $(ls "$out/corpus" | wc -l) files, $findings findings (log: $out/log.txt)"
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  grep -E "ERROR|runtime error|invariant broken|SUMMARY" "$out/log.txt" "$out/setup-log.txt" | head -20 || true
  find "$out/findings" -type f -newer "$out/ini_fuzz"
  exit 1
fi
