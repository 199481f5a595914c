#!/usr/bin/env bash
# Prints the path of the build's Wine prefix for a screen DPI (default 96),
# making it first if needed. Each DPI has a prefix of its own, because Wine
# reads LogPixels per prefix.
set -eu
dpi=${1:-96}
root=$(cd "$(dirname "$0")/.." && pwd)
wine_root=${VANTREL_WINE_ROOT:-$root/build/wine}
prefix="$wine_root/dpi-$dpi"
mkdir -p "$wine_root"
exec 9>"$wine_root/.lock"
flock 9
if [ ! -f "$prefix/.vantrel-ready" ]; then
    rm -rf "$prefix"
    export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if ! wineboot -i >"$wine_root/wineboot-$dpi.log" 2>&1; then
        echo "wine-prefix: wineboot failed for $prefix; see $wine_root/wineboot-$dpi.log" >&2
        exit 1
    fi
    # No window manager: without Managed=N Wine waits ~2 s for every hidden window.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A crashing test must fail, not wait for a click on the crash dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.vantrel-ready"
fi
echo "$prefix"
