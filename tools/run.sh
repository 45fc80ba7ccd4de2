#!/usr/bin/env bash
# Starts a program under Wine. With a display (DISPLAY set) it runs there
# until the user closes it; without one it runs under Xvfb, a screenshot is
# saved under build/ and the program is closed again.
# Usage: tools/run.sh APP BUILD_DIR
set -euo pipefail
app=$1
build=$2
exe="$build/bin/$app.exe"
[ -f "$exe" ] || { echo "no such program: $exe" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
    VELKOR_DISPLAY=user exec tools/winenv.sh "$build/wine-run" wine "$exe"
fi
out="build/$app.png"
tools/winenv.sh "$build/wine-run" tools/screenshot.sh "$exe" "$out"
echo "No display: $app ran under Xvfb; its window is in $out"
