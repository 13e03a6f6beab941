#!/usr/bin/env bash
# Creates (once) and starts a private Wine prefix of a build tree: win32,
# unmanaged windows (Xvfb has no window manager), drive D: -> KELVANE_WINE_D
# (default <build>/wine-d). The first prefix, <build>/wineprefix, is made by
# wineboot; every other one (WINEPREFIX) starts as a hard-linked copy of it,
# which takes a second instead of twenty. KELVANE_WINE_DPI (e.g. 144) gives a
# new prefix that DPI. KELVANE_WINE_ARCH=win64 makes 64-bit prefixes (their
# own template, <build>/wineprefix-win64), where our 32-bit programs run
# under WoW64 as the hosts do on 64-bit Windows.
set -euo pipefail
build=$1
export WINEARCH=${KELVANE_WINE_ARCH:-win32}
template=$build/wineprefix
[ "$WINEARCH" = win32 ] || template=$build/wineprefix-$WINEARCH
export WINEPREFIX=${WINEPREFIX:-$template}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
drive_d=${KELVANE_WINE_D:-$build/wine-d}
mkdir -p "$drive_d"

# Runs with the prefix's server started afresh (the registry's DPI is read
# when the server starts).
restart_server() {
  wineserver -k 9>&- || true
  wineserver -w 9>&- || true
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
}

make_template() {
  (
    flock 9
    if [ ! -f "$template/.kelvane-ready" ]; then
      mkdir -p "$template"
      WINEPREFIX=$template wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
      WINEPREFIX=$template wine wineboot --init </dev/null >/dev/null 2>&1 9>&-
      WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
      # Written to disk before anything copies it.
      WINEPREFIX=$template wineserver -k 9>&- || true
      WINEPREFIX=$template wineserver -w 9>&- || true
      touch "$template/.kelvane-ready"
    fi
  ) 9>"$build/.wineprefix.lock"
}

(
  flock 9
  if [ ! -f "$WINEPREFIX/.kelvane-ready" ]; then
    if [ "$WINEPREFIX" = "$template" ]; then
      make_template
    else
      make_template
      rm -rf "$WINEPREFIX"
      # The template's server must not be writing while it is copied.
      (flock 8; cp -al "$template" "$WINEPREFIX") 8>"$build/.wineprefix.lock"
      rm -f "$WINEPREFIX/.kelvane-ready"
      # The registry files are rewritten in place: they get copies of their own.
      for f in system.reg user.reg userdef.reg; do
        [ -f "$WINEPREFIX/$f" ] && cp --remove-destination "$template/$f" "$WINEPREFIX/$f"
      done
    fi
    if [ -n "${KELVANE_WINE_DPI:-}" ]; then
      wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$KELVANE_WINE_DPI" /f \
        </dev/null >/dev/null 2>&1 9>&-
      restart_server
    fi
    touch "$WINEPREFIX/.kelvane-ready"
  fi
  # A persistent server keeps its output away from ctest's pipes.
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  ln -sfn "$drive_d" "$WINEPREFIX/dosdevices/d:"
  # Start Wine's background services here, detached from our caller's pipes:
  # started by a test instead, they would hold ctest's output open.
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$WINEPREFIX.lock"
