#!/usr/bin/env bash
# What a release needs checked beyond the test command, which has no room
# for it (16.6 minutes here, at load 2-7):
#   scripts/package.sh --check   both zips made, then made again from a copy
#                                of the tree in another folder: same bytes
#   reproducible_dll (ctest label "release"): the DLLs built again from
#                                nothing in another folder: same bytes
#   the verification kit at full length (every system test, the cycles and
#   the three bench scripts through verify.cmd) in a 32-bit and a 64-bit
#   Wine prefix, its report checked
# The test command runs the cheap parts: version_agrees and the kit with a
# few tests of each kind (verify_kit_win32/_win64).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/package.sh --check
# reproducible_dll: both DLLs from nothing in build/cross-again, compared.
ctest --preset cross -L release
unset VERIFY_TESTS VERIFY_SCRIPTS VERIFY_CYCLES
for arch in win32 win64; do
  echo "the kit, every suite, in a $arch prefix:"
  bash scripts/verify-kit-wine.sh build/cross "$arch"
done
echo "release-check: passed"
