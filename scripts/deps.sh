#!/usr/bin/env bash
# Installs what building and running Kelvane needs on Debian 12, if missing:
# i386 multiarch, wine32 and wine64 (64-bit prefixes: WoW64), mingw-w64, Xvfb, GoogleTest, CMake (+ ImageMagick for screenshots),
# clang (libFuzzer) and clang-tidy for the test command's fuzz and lint.
# zip and unzip for the release (scripts/package.sh) and its kit test.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
packages=(g++-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth googletest cmake g++ make imagemagick x11-apps clang clang-tidy zip unzip)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
