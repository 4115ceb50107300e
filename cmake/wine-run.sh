#!/bin/sh
# Runs a Windows program of the cross-build under Wine:
#   wine-run.sh [--prefix DIR] PROGRAM [ARGS...]
# The Wine prefix is private to the build (DIR, unless WINEPREFIX is set), so
# that runs do not depend on the machine. A fresh prefix is initialised
# headless: no display, no Mono or Gecko installation prompts.
set -e
if [ "$1" = "--prefix" ]; then
    : "${WINEPREFIX:=$2}"
    shift 2
fi
: "${WINEPREFIX:=$(pwd)/wineprefix}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY
WINE="${KORDA_WINE:-}"
if [ -z "$WINE" ]; then
    for w in /usr/lib/wine/wine64 wine64 wine; do
        if command -v "$w" >/dev/null 2>&1; then WINE="$w"; break; fi
    done
fi
if [ -z "$WINE" ]; then
    echo "wine-run.sh: Wine not found (install wine64)" >&2
    exit 127
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1 || true
fi
exec "$WINE" "$@"
