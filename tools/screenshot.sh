#!/usr/bin/env bash
# Inside tools/winenv.sh: starts a program, waits for its window, saves a
# picture of the window and closes the program again. A driver, when given,
# runs once the window is there and brings it to the state to be pictured.
# Usage: tools/screenshot.sh EXE OUT.png [DRIVER.exe]
set -euo pipefail
exe=$1
out=$2
driver=${3:-}
name=$(basename "$exe" .exe)
mkdir -p "$(dirname "$out")"

wine "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
window=
for _ in $(seq 1 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Velkor - / { print $1; exit }')
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "the window of $name did not appear" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
fi
if [ -n "$driver" ] && ! wine "$driver" </dev/null; then
    echo "$(basename "$driver") could not prepare $name" >&2
    wine taskkill /im "$name.exe" >/dev/null 2>&1 || true
    exit 1
fi
sleep 0.5 # let it paint
import -window "$window" "$out"
wine taskkill /im "$name.exe" >/dev/null 2>&1 || true
wait "$pid" 2>/dev/null || true
