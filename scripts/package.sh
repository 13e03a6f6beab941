#!/usr/bin/env bash
# Makes the release from the cross build (build/cross, configured and built
# as needed):
#   dist/Kelvane-<version>.zip         what a host copies (Kelvane.dll,
#       KelvaneEntry1.dll), their debug information, the host header, the
#       README and docs/*.md (operation, host integration) with their
#       screenshots, CHANGELOG.md, SHA256SUMS
#   dist/Kelvane-<version>-verify.zip  the verification kit (verify.cmd)
#   dist/SHA256SUMS                    both zips
# The same commit gives the same bytes: file times are SOURCE_DATE_EPOCH
# (default: the last commit's time), entries are sorted, no owners or
# extended fields.
#   scripts/package.sh           make both
#   scripts/package.sh --check   make both, then again from a copy of the
#                                tree in another folder, and compare bytes
#   scripts/package.sh --name    print the package's name
#   scripts/package.sh --kit BUILD OUT   only the kit's zip, into OUT, from
#                                the programs BUILD has built (the kit's test)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
version=$(head -n1 VERSION)
name=Kelvane-$version
case "${1:-}" in
  --name) echo "$name"; exit 0 ;;
  --check | "" | --kit) ;;
  *) echo "usage: scripts/package.sh [--check|--name|--kit BUILD OUT]" >&2; exit 2 ;;
esac

# A folder's files as the zip and SHA256SUMS list them: sorted bytewise.
listing() { (cd "$1" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort); }
# Fixed modes and times, then the zip of folder $1 (under $stage) as $2.
zip_folder() {
  (cd "$stage/$1" && listing . | tr '\n' '\0' | xargs -0 sha256sum >SHA256SUMS)
  find "$stage/$1" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
  find "$stage/$1" -name '*.cmd' -exec chmod 755 {} +
  find "$stage/$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$2"
  (cd "$stage" && find "$1" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -@ "$2")
}

# The verification kit: the test programs, the bench with its scripts, the
# Tamsil.dll stand-in and the plug-in, run by verify.cmd on any Windows.
# zip_kit BIN OUT
zip_kit() {
  local k=$stage/$name-verify
  mkdir -p "$k/bin" "$k/scripts"
  cp "$1/Kelvane.dll" "$1/KelvaneEntry1.dll" "$1/Tamsil.dll" "$1/KelvaneBench.exe" \
    "$1/KelvaneProbe.exe" "$1/kelvane_wine_tests.exe" "$k/bin/"
  cp bench/scripts/demo.txt bench/scripts/faults.txt bench/scripts/job.txt "$k/scripts/"
  cp verify/verify.cmd verify/README.txt "$k/"
  # The Windows command processor wants CRLF.
  sed -i 's/\r*$/\r/' "$k/verify.cmd" "$k/README.txt"
  echo "$version" >"$k/VERSION"
  zip_folder "$name-verify" "$2/$name-verify.zip"
}

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
    { echo "package: not a git checkout: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

if [ "${1:-}" = --kit ]; then
  build=$(cd "${2:?--kit BUILD OUT}" && pwd)
  mkdir -p "${3:?--kit BUILD OUT}"
  out=$(cd "$3" && pwd)
  # Staged under OUT: the win32 and win64 kit tests run side by side.
  stage=$out/stage
  rm -rf "$stage"
  mkdir -p "$stage"
  zip_kit "$build/bin" "$out"
  exit 0
fi

bash scripts/deps.sh
build=$root/build/cross
cmake --preset cross >/dev/null
cmake --build --preset cross --target Kelvane KelvaneEntry Tamsil KelvaneBench KelvaneProbe kelvane_wine_tests
bin=$build/bin

stage=$build/package
rm -rf "$stage"
mkdir -p "$stage" "$root/dist"

# The package.
p=$stage/$name
mkdir -p "$p/debug" "$p/include"
cp "$bin/Kelvane.dll" "$bin/KelvaneEntry1.dll" "$p/"
cp "$bin/Kelvane.dll.debug" "$bin/KelvaneEntry1.dll.debug" "$p/debug/"
cp include/KelvaneHost.h "$p/include/"
cp README.md CHANGELOG.md "$p/"
# The documents and their pictures, where the links look for them.
mkdir -p "$p/docs"
cp docs/*.md "$p/docs/"
cp -r docs/screenshots "$p/docs/"
zip_folder "$name" "$root/dist/$name.zip"

zip_kit "$bin" "$root/dist"

(cd "$root/dist" && sha256sum "$name.zip" "$name-verify.zip" >SHA256SUMS)
echo "dist/$name.zip, dist/$name-verify.zip (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
cat "$root/dist/SHA256SUMS"

if [ "${1:-}" = --check ]; then
  # The same tree in another folder, built afresh at another time.
  again=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-again.XXXXXX")
  trap 'rm -rf "$again"' EXIT
  git ls-files -z --cached --others --exclude-standard | tar --null -T - -c | tar -x -C "$again"
  (cd "$again" && git init -q && SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH bash scripts/package.sh >/dev/null)
  status=0
  for f in "$name.zip" "$name-verify.zip"; do
    if cmp "$root/dist/$f" "$again/dist/$f"; then echo "same bytes: $f"; else status=1; fi
  done
  for f in Kelvane.dll Kelvane.dll.debug KelvaneEntry1.dll KelvaneEntry1.dll.debug; do
    cmp "$bin/$f" "$again/build/cross/bin/$f" || status=1
  done
  [ $status -eq 0 ] && echo "package.sh --check: a second build in $again gave the same bytes"
  exit $status
fi
