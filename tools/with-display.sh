#!/usr/bin/env bash
# Runs a command with an X display for Wine: a private Xvfb that is started
# here and stopped afterwards, or the user's own display with --real-display
# when there is one. Stops the build's wineservers on the way out.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
use_real=0
if [ "${1:-}" = --real-display ]; then use_real=1; shift; fi

xvfb_pid=
cleanup() {
    for prefix in "${VANTREL_WINE_ROOT:-$root/build/wine}"/dpi-*; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT

if [ $use_real = 1 ] && [ -n "${DISPLAY:-}" ]; then
    :
else
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ]; then export DISPLAY=":$n"; break; fi
        xvfb_pid=
    done
    [ -n "$xvfb_pid" ] || { echo "with-display: could not start Xvfb" >&2; exit 1; }
fi
set +e
"$@"
rc=$?
set -e
exit $rc
