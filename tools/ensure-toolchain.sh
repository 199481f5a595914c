#!/usr/bin/env bash
# Makes sure the cross toolchain, Wine (32-bit) and Xvfb are present, installing
# whatever is missing from Debian's packages. Quiet and quick when all is there.
set -eu

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd i686-w64-mingw32-g++ || need+=(g++-mingw-w64-i686)
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
have_cmd cmake || need+=(cmake)
have_cmd Xvfb || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_pkg wine32:i386 || need+=(wine32:i386)
have_cmd wine || need+=(wine)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
have_cmd gnuplot || need+=(gnuplot-nox)

[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "ensure-toolchain: missing packages: ${need[*]}" >&2
    echo "ensure-toolchain: run as root (or install them yourself) and try again." >&2
    exit 1
fi
if ! have_cmd apt-get; then
    echo "ensure-toolchain: no apt-get here; this build expects a Debian machine." >&2
    exit 1
fi

echo "ensure-toolchain: installing ${need[*]}" >&2
case " ${need[*]} " in
    *":i386 "*)
        dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
if ! apt-get update -qq >"$log" 2>&1; then
    echo "ensure-toolchain: apt-get update failed:" >&2; tail -n 20 "$log" >&2; rm -f "$log"; exit 1
fi
if ! apt-get install -y -qq --no-install-recommends "${need[@]}" >"$log" 2>&1; then
    echo "ensure-toolchain: could not install ${need[*]}:" >&2; tail -n 20 "$log" >&2; rm -f "$log"; exit 1
fi
rm -f "$log"
