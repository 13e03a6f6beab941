#!/usr/bin/env bash
# Creates (once) and starts the private Wine prefix of a build tree: win32,
# unmanaged windows (Xvfb has no window manager), drive D: -> <build>/wine-d.
# WINEPREFIX picks another prefix of the tree; KELVANE_WINE_DPI (e.g. 144)
# gives a new prefix that DPI; KELVANE_WINE_D another folder for D:.
set -euo pipefail
build=$1
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
drive=${KELVANE_WINE_D:-$build/wine-d}
mkdir -p "$WINEPREFIX" "$drive"
(
  flock 9
  # A persistent server keeps its output away from ctest's pipes.
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  if [ ! -f "$WINEPREFIX/.kelvane-ready" ]; then
    wine wineboot --init </dev/null >/dev/null 2>&1 9>&-
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    if [ -n "${KELVANE_WINE_DPI:-}" ]; then
      # Read when the server starts: set it, then start the server again.
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$KELVANE_WINE_DPI" /f \
        </dev/null >/dev/null 2>&1 9>&-
      wineserver -k 9>&- || true
      wineserver -w 9>&- || true
      wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
    fi
    touch "$WINEPREFIX/.kelvane-ready"
  fi
  ln -sfn "$drive" "$WINEPREFIX/dosdevices/d:"
  # Start Wine's background services here, detached from our caller's pipes:
  # started by a test instead, they would hold ctest's output open.
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$build/.wineprefix.lock"
