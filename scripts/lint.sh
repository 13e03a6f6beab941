#!/usr/bin/env bash
# clang-tidy over every product file (.clang-tidy: the checks and why some are
# left out); any finding fails. The platform-free code is parsed with the
# native build's flags, the Win32 code with the cross build's and the MinGW
# headers. A file whose text, headers and checks are those of a clean run
# before is not parsed again (build/lint-cache): its headers are the ones its
# build's dependency file lists, every header of the tree when there is none.
#   scripts/lint.sh [platform-free|win32]   (both by default; each part after
#                                            its build was configured)
set -euo pipefail
part=${1:-all}
cd "$(dirname "$0")/.."
if ! command -v clang-tidy >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang-tidy >/dev/null
fi
cache=build/lint-cache
mkdir -p "$cache"
# The checks and the tool: a change parses every file again.
common=$( { clang-tidy --version; cat .clang-tidy; } | sha1sum | cut -c1-40)
root=$PWD

gxx=$(ls -d /usr/lib/gcc/i686-w64-mingw32/*-posix/include/c++ | head -1)
win32_args=(--extra-arg-before=--target=i686-w64-mingw32 "--extra-arg=-isystem$gxx"
            "--extra-arg=-isystem$gxx/i686-w64-mingw32" "--extra-arg=-isystem$gxx/backward")

# FILE BUILD [ARGS...]: parses one file unless the cache knows it clean.
lint_one() {
  local file=$1 build=$2; shift 2
  local key dep headers
  # The tree's headers the file includes, from the build's dependency file.
  dep=$(ls "$build"/CMakeFiles/*.dir/"$file".o*.d 2>/dev/null | head -1)
  if [ -n "$dep" ]; then
    headers=$(tr ' \\' '\n\n' <"$dep" | grep "^$root/.*\.h$" | sort -u)
  else
    headers=$(git ls-files '*.h')
  fi
  key=$( { echo "$common $build $*"; cat "$file"; echo "$headers"; echo "$headers" | xargs cat; } | sha1sum | cut -c1-40)
  [ -f "$cache/$key" ] && return 0
  local out
  if out=$(clang-tidy -p "$build" --quiet "$@" "$file" 2>&1); then
    touch "$cache/$key"
  else
    echo "$out" | grep -v "warnings\? generated\.$\|warnings and [0-9]* errors\? generated\.$" >&2
    return 1
  fi
}
export -f lint_one
export common cache root

platform_free=(base/logic/*.cpp core/logic/*.cpp framework/logic/*.cpp pages/logic/*.cpp shell/logic/*.cpp
               bench/logic/*.cpp harness/logic/*.cpp)
win32=(core/*.cpp framework/*.cpp framework/entry/*.cpp pages/*.cpp shell/*.cpp)
case $part in
  platform-free) win32=() ;;
  win32) platform_free=() ;;
  all) ;;
  *) echo "lint.sh: unknown part '$part' (platform-free, win32)" >&2; exit 2 ;;
esac

status=0
{
  for f in ${platform_free[@]+"${platform_free[@]}"}; do printf '%s\0%s\0' "$f" build/native; done
  for f in ${win32[@]+"${win32[@]}"}; do printf '%s\0%s\0' "$f" build/cross; done
} | xargs -0 -r -n2 -P2 bash -c 'if [ "$2" = build/cross ]; then lint_one "$1" "$2" '"${win32_args[*]}"'; else lint_one "$1" "$2"; fi' _ \
  || status=$?
files=$(( ${#platform_free[@]} + ${#win32[@]} ))
if [ "$status" -ne 0 ]; then echo "clang-tidy: findings (see above)"; exit 1; fi
echo "clang-tidy: no findings in $files files"
