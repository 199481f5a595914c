#!/usr/bin/env bash
# Runs one Windows program under Wine with a time limit and passes its exit
# code on.  Usage: winerun.sh [--dpi N] [--timeout S] program.exe [args...]
set -eu
dpi=96
limit=${VANTREL_TIMEOUT:-600}
while [ $# -gt 0 ]; do
    case "$1" in
        --dpi) dpi=$2; shift 2 ;;
        --timeout) limit=$2; shift 2 ;;
        *) break ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: winerun.sh [--dpi N] [--timeout S] program.exe [args...]" >&2; exit 2; }
[ -f "$1" ] || { echo "winerun: no such program: $1" >&2; exit 2; }
if [ -z "${DISPLAY:-}" ]; then
    echo "winerun: no DISPLAY; run through tools/with-display.sh (make test does)" >&2
    exit 2
fi
export WINEPREFIX
WINEPREFIX=$("$(dirname "$0")/wine-prefix.sh" "$dpi")
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# One persistent wineserver per prefix keeps start-up cheap for each test
# program. It and Wine's background services are started here with their
# output closed: otherwise they inherit the caller's pipe, and a caller that
# reads to the end (CTest) waits for them instead of the program.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
set +e
timeout --kill-after=10 "$limit" wine "$@" </dev/null
rc=$?
set -e
if [ $rc = 124 ] || [ $rc = 137 ]; then
    echo "winerun: $1 did not finish within $limit s" >&2
elif [ $rc = 53 ]; then
    echo "winerun: $1 exited with 53: Wine could not load a DLL it needs" >&2
fi
exit $rc
