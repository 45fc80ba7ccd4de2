#!/usr/bin/env bash
# Inside tools/winenv.sh: starts a program, waits for its window, saves a
# picture of the window and closes the program again. A driver, when given,
# runs once the window is there (with its argument) and brings it to the
# state to be pictured. With --dpi the program starts at that screen DPI,
# which Wine reads from the registry when a process starts; the prefix's
# own value is put back once the window is there.
# Usage: tools/screenshot.sh [--dpi N] EXE OUT.png [DRIVER.exe [DRIVER_ARG]]
set -euo pipefail
dpi=
if [ "${1:-}" = --dpi ]; then
    dpi=$2
    shift 2
fi
exe=$1
out=$2
driver=${3:-}
driver_arg=${4:-}
name=$(basename "$exe" .exe)
mkdir -p "$(dirname "$out")"

desktop='HKCU\Control Panel\Desktop'
if [ -n "$dpi" ]; then
    wine reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
fi
wine "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
window=
for _ in $(seq 1 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Velkor - / { print $1; exit }')
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -n "$dpi" ]; then
    wine reg delete "$desktop" /v LogPixels /f </dev/null >/dev/null 2>&1
fi
if [ -z "$window" ]; then
    echo "the window of $name did not appear" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
if [ -n "$driver" ] && ! wine "$driver" $driver_arg </dev/null; then
    echo "$(basename "$driver") could not prepare $name" >&2
    wine taskkill /im "$name.exe" >/dev/null 2>&1 || true
    kill "$pid" 2>/dev/null || true
    exit 1
fi
sleep 0.5 # let it paint
# From the screen, so that a menu open over the window is in the picture.
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h "+" x "+" y }')
import -window root -crop "$geometry" +repage "$out"
wine taskkill /im "$name.exe" >/dev/null 2>&1 || true
# Wine's taskkill does not always find the program by its name; the picture
# is taken, so it may as well be ended.
for _ in $(seq 1 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
