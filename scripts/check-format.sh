#!/usr/bin/env bash
# Our C and C++ sources are formatted as .clang-format says (clang-format 14,
# Debian 12's). A file off the format fails the check, which prints the
# command that formats it.
#   scripts/check-format.sh [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."
folders=(base core framework pages shell bench harness include tests verify)

format=""
for c in clang-format-14 clang-format; do
  if command -v "$c" >/dev/null 2>&1 && "$c" --version | grep -q ' 14\.'; then format=$c; break; fi
done
if [ -z "$format" ]; then
  echo "Installing clang-format (Debian 12: version 14)"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang-format >/dev/null
  format=clang-format-14
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  # Tracked files where there is a checkout, else whatever the folders hold.
  mapfile -t files < <(
    { git ls-files -- "${folders[@]}" 2>/dev/null || true; } | grep -E '\.(c|cc|cpp|h|hpp)$' || true)
  if [ ${#files[@]} -eq 0 ]; then
    mapfile -t files < <(find "${folders[@]}" -type f \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' \
      -o -name '*.h' -o -name '*.hpp' \) 2>/dev/null | sort)
  fi
fi

report=$("$format" --dry-run -Werror --ferror-limit=1 "${files[@]}" 2>&1) && status=0 || status=$?
if [ "$status" -ne 0 ]; then
  mapfile -t off < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | uniq)
  if [ ${#off[@]} -eq 0 ]; then
    echo "$report"
    echo "check-format: $format failed (above)"
    exit 1
  fi
  echo "Not formatted as .clang-format says (${#off[@]} of ${#files[@]} files):"
  printf '  %s\n' "${off[@]}"
  echo "The first difference:"
  head -n 3 <<<"$report"
  echo "To fix it, run:"
  echo "  $format -i ${off[*]}"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted as .clang-format says"
