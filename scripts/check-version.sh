#!/usr/bin/env bash
# Holds every place that names the version to the VERSION file: the DLL's
# version resource (numbers and texts), the Kelvane.log line built into it,
# a job record written by the real DLL, the package's name and the
# changelog's top entry. Prints each disagreement; exits 1 on any.
#   scripts/check-version.sh DLL [JOB_RECORD]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dll=${1:?usage: check-version.sh DLL [JOB_RECORD]}
record=${2:-}
export LC_ALL=C
failed=0
fail() { echo "version: $*"; failed=1; }

version=$(head -n1 "$root/VERSION")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "version: VERSION holds '$version', not four numbers"; exit 1; }
IFS=. read -r major minor patch tweak <<<"$version"

top=$(grep -m1 '^## ' "$root/CHANGELOG.md")
[[ $top == "## $version" || $top == "## $version "* ]] || fail "CHANGELOG.md's top entry is '$top', not '## $version ...'"

name=$(bash "$root/scripts/package.sh" --name)
[ "$name" = "Kelvane-$version" ] || fail "the package is named '$name', not 'Kelvane-$version'"

# VS_FIXEDFILEINFO follows its signature 0xFEEF04BD: the file and product
# versions as two little-endian DWORDs each (major<<16|minor, patch<<16|tweak).
at=$(grep -obUaP '\xBD\x04\xEF\xFE' "$dll" | head -n1 | cut -d: -f1)
if [ -z "$at" ]; then
  fail "$dll has no version resource"
else
  for what in file:8 product:16; do
    read -r lo1 hi1 lo2 hi2 < <(od -An -tu2 -j $((at + ${what#*:})) -N8 "$dll")
    got="$hi1.$lo1.$hi2.$lo2"
    [ "$got" = "$major.$minor.$patch.$tweak" ] || fail "the ${what%:*} version number in $dll is $got, not $version"
  done
fi
# The texts are UTF-16: each key, then its value.
for key in FileVersion ProductVersion; do
  got=$(i686-w64-mingw32-strings -el "$dll" | awk -v k="$key" 'found { print; exit } $0 == k { found = 1 }')
  [ "$got" = "$version" ] || fail "$key in $dll is '$got', not '$version'"
done
grep -qaF " Kelvane $version"$'\r' "$dll" || fail "$dll does not write 'Kelvane $version' to Kelvane.log"

if [ -n "$record" ]; then
  line=$(grep -a '^Plug-in ' "$record" | tr -d '\r')
  [[ $line =~ ^Plug-in\ +Kelvane\ $version$ ]] || fail "the job record $record says '$line', not 'Kelvane $version'"
fi

[ $failed -eq 0 ] && echo "version $version: VERSION, CHANGELOG.md, package name, $(basename "$dll")${record:+, job record} agree"
exit $failed
