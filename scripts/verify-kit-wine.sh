#!/usr/bin/env bash
# The verification kit as a Windows user runs it: zipped from BUILD's
# programs, unpacked into a folder of its own, run as `wine cmd /c .\verify.cmd`
# (to Wine's cmd a bare "verify.cmd" is its own VERIFY command) in a fresh
# prefix, on a display of its own; then its verify-report.txt is read and
# checked.
#   scripts/verify-kit-wine.sh BUILD [win32|win64]
# VERIFY_TESTS, VERIFY_SCRIPTS and VERIFY_CYCLES narrow the kit's run (the
# test command runs the system tests and bench scripts on their own).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: verify-kit-wine.sh BUILD [win32|win64]}" && pwd)
arch=${2:-win32}
kit=$build/verify-kit-$arch
name=$(bash "$root/scripts/package.sh" --name)
rm -rf "$kit"
mkdir -p "$kit"
bash "$root/scripts/package.sh" --kit "$build" "$kit"
(cd "$kit" && unzip -q "$name-verify.zip")
folder=$kit/$name-verify

# The display first: the prefix's desktop starts with the prefix.
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
read -r display <"$fifo"
rm -f "$fifo"
export DISPLAY=:$display
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A fresh prefix, from the build's template of that kind (win64: 32-bit
# programs under WoW64).
export WINEARCH=$arch KELVANE_WINE_ARCH=$arch WINEPREFIX=$build/wineprefix-kit-$arch
rm -rf "$WINEPREFIX"
KELVANE_WINE_D=$kit/unused-d bash "$root/cmake/wine-prefix.sh" "$build"
# Wine's subst maps nothing: D: is the kit's work folder before the kit
# starts, as a user may map it by hand (verify.cmd knows it by its file).
mkdir -p "$folder/work"
rm -f "$WINEPREFIX/dosdevices/d::"
ln -sfn "$folder/work" "$WINEPREFIX/dosdevices/d:"

status=0
(cd "$folder" && wine cmd /c '.\verify.cmd' </dev/null >"$kit/verify-output.txt" 2>&1) || status=$?
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
kill "$xvfb" 2>/dev/null || true
wait "$xvfb" 2>/dev/null || true

report=$folder/verify-report.txt
[ -f "$report" ] || { echo "kit: no verify-report.txt (verify.cmd exited $status)"; cat "$kit/verify-output.txt"; exit 1; }
text=$(tr -d '\r' <"$report")
echo "$text"
failed=0
expect() { grep -qE "$1" <<<"$text" || { echo "kit: the report lacks: $1"; failed=1; }; }
expect "^Kelvane $(head -n1 "$root/VERSION") verification report$"
expect '^Result: +PASSED$'
expect '^Windows: +.*[0-9]'
if [ "$arch" = win64 ]; then expect '^Bitness: +64-bit Windows'; else expect '^Bitness: +32-bit Windows'; fi
expect '^DPI: +96$'
expect "^Drive D: +D: was the kit's work folder already$"
expect '^Locale: +[a-z]{2}-[A-Z]{2}, decimal separator "\."$'
expect '^Security products: +.+'
expect '^  system tests: passed$'
for s in ${VERIFY_SCRIPTS:-demo faults job}; do expect "^  bench $s: passed$"; done
expect '^What to send back:'
[ "$status" -eq 0 ] || { echo "kit: verify.cmd exited $status"; failed=1; }
# The suites really ran, in the kit's folder, on the mapped drive.
grep -q '\[  PASSED  \]' "$folder/results/system.txt" || { echo "kit: no passing system tests in results/system.txt"; failed=1; }
[ $failed -eq 0 ] || { echo "--- verify.cmd's output:"; cat "$kit/verify-output.txt"; }
exit $failed
