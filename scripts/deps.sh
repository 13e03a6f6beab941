#!/usr/bin/env bash
# Installs what building and running Kelvane needs on Debian 12, if missing:
# i386 multiarch, wine32 and wine64 (64-bit prefixes: WoW64), mingw-w64, Xvfb, GoogleTest, CMake (+ ImageMagick for screenshots),
# clang (libFuzzer), clang-tidy and clang-format for the test command's fuzz, lint
# and format check.
# zip and unzip for the release (scripts/package.sh) and its kit test.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
packages=(g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth googletest cmake g++ make imagemagick x11-apps clang clang-tidy clang-format zip unzip)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
install_missing() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# A mirror caught in the middle of a sync serves an index older than the
# release file that lists it ("File has unexpected size"); apt drops that
# index, and i386 packages then cannot match the versions of their amd64
# twins. Each index it refused is fetched as the mirror serves it and put
# where apt keeps its lists: the index of the last sync, which the packages
# it names (still on the mirror) match.
use_refused_indexes() {
  local url file
  grep -o "Failed to fetch http[^ ]*Packages\.xz" "$1" | sed 's/^Failed to fetch //' | sort -u | while read -r url; do
    file=/var/lib/apt/lists/$(echo "${url#http://}" | sed 's/\.xz$//; s|/|_|g')
    echo "Index refused by apt, used as served: $url"
    if command -v curl >/dev/null; then
      curl -fsS --max-time 120 "$url"
    else
      python3 -c 'import sys, urllib.request; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1], timeout=120).read())' "$url"
    fi | xz -dc | $SUDO tee "$file" >/dev/null || true
  done
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  log=$(mktemp)
  installed=0
  for attempt in 1 2 3; do
    $SUDO apt-get update -qq >"$log" 2>&1 || cat "$log"
    if install_missing; then installed=1; break; fi
    if grep -q "unexpected size\|Hash Sum mismatch" "$log"; then
      use_refused_indexes "$log"
      if install_missing; then installed=1; break; fi
    fi
    sleep 20
  done
  rm -f "$log"
  [ "$installed" -eq 1 ] || { echo "apt could not install: ${missing[*]}"; exit 1; }
fi
