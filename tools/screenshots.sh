#!/usr/bin/env bash
# Regenerates the pictures of the README under Xvfb.
# Usage: tools/screenshots.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1
out=$2
mkdir -p "$out"
tools/winenv.sh "$build/wine-shots" bash -c "
    tools/screenshot.sh '$build/bin/aliasdesk.exe' '$out/aliasdesk.png'
"
echo "Screenshots written to $out/"
