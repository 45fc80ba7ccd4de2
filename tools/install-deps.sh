#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, and nothing when
# everything is there already. Runs apt-get as root, or through sudo.
# With the argument x86 it also adds the i386 architecture and 32-bit Wine,
# which only the 32-bit test run and the release checks need.
# Usage: tools/install-deps.sh [x86]
set -euo pipefail

with_x86=
case "${1:-}" in
    "") ;;
    x86) with_x86=1 ;;
    *) echo "usage: $0 [x86]" >&2; exit 2 ;;
esac

# command that must exist -> Debian package that provides it
declare -A needed=(
    [cmake]=cmake
    [ninja]=ninja-build
    [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
    [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686-posix
    [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
    [wine]=wine
    [Xvfb]=xvfb
    [xwininfo]=x11-utils
    [import]=imagemagick
    [/usr/bin/python3]=python3
    [g++]=g++
    [clang++]=clang # tools/msvc-check.sh
)
packages=()
for cmd in "${!needed[@]}"; do
    command -v "$cmd" >/dev/null 2>&1 || packages+=("${needed[$cmd]}")
done
# 64-bit Wine, GoogleTest's sources and fonts are files, not commands.
[ -e /usr/lib/wine/wine64 ] || packages+=(wine64)
[ -f /usr/src/googletest/CMakeLists.txt ] || packages+=(googletest)
# Wine's own fonts: Marlett draws the caption buttons as symbols (without
# it they show as "0 1 r"), Tahoma is the dialogs' font as on Windows.
[ -f /usr/share/wine/fonts/marlett.ttf ] || packages+=(fonts-wine)
# The benchmark's plot, drawn by the system's Python (not one on PATH before it).
/usr/bin/python3 -c 'import matplotlib' >/dev/null 2>&1 || packages+=(python3-matplotlib)
# The native sanitizer run links the host compiler's ASan and UBSan runtimes.
if command -v g++ >/dev/null 2>&1; then
    for runtime in libasan.so libubsan.so; do
        if [ ! -e "$(g++ -print-file-name=$runtime)" ]; then
            packages+=("libgcc-$(g++ -dumpversion | cut -d. -f1)-dev")
            break
        fi
    done
fi

# Debian's 32-bit Wine loader; 64-bit Wine starts it for 32-bit programs.
add_i386=
if [ -n "$with_x86" ] && [ ! -e /usr/lib/wine/wine ]; then
    packages+=(wine32:i386)
    dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
fi

if [ ${#packages[@]} -eq 0 ]; then
    exit 0
fi

sudo=
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
echo "Installing: ${packages[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$add_i386" ]; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${packages[@]}" mingw-w64 >/dev/null
