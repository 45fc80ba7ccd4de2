#!/usr/bin/env bash
# Regenerates the pictures of the README under Xvfb.
# Usage: tools/screenshots.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1
out=$2
mkdir -p "$out"

# prefdesk shows what lies beside it: give it languages and settings to show.
stage="$build/shots/prefdesk"
rm -rf "$stage"
mkdir -p "$stage/language"
cp "$build/bin/prefdesk.exe" "$stage/"
for name in English German Francais; do
    printf '[text]\r\n' >"$stage/language/$name.ini"
done
printf '[hotkey]\r\npopup_mod=6\r\npopup_vk=32\r\n[language]\r\nfilepath=.\\Language\\English.ini\r\n[aspect]\r\ncolor=14120960\r\nalpha=200\r\n' \
    >"$stage/settings.ini"

# aliasdesk with a few programs scanned (the driver lays them out and scans
# them), without data files: with an edit in progress over a path cell, with
# the context menu of a row open, with rows of missing programs and a row in
# conflict, and at 144 DPI.
shot_stage="$build/shots/aliasdesk-rows"
rm -rf "$shot_stage"
mkdir -p "$shot_stage"
cp "$build/bin/aliasdesk.exe" "$shot_stage/"
driver="$build/bin/shot_driver.exe"

tools/winenv.sh "$build/wine-shots" bash -c "
    tools/screenshot.sh '$build/bin/aliasdesk.exe' '$out/aliasdesk.png'
    tools/screenshot.sh '$stage/prefdesk.exe' '$out/prefdesk.png'
    tools/screenshot.sh '$shot_stage/aliasdesk.exe' '$out/aliasdesk-edit.png' '$driver' edit
    tools/screenshot.sh '$shot_stage/aliasdesk.exe' '$out/aliasdesk-menu.png' '$driver' menu
    tools/screenshot.sh '$shot_stage/aliasdesk.exe' '$out/aliasdesk-marks.png' '$driver' marks
    tools/screenshot.sh --dpi 144 '$shot_stage/aliasdesk.exe' '$out/aliasdesk-144dpi.png' '$driver' rows
    tools/screenshot.sh --dpi 144 '$stage/prefdesk.exe' '$out/prefdesk-144dpi.png'
"
echo "Screenshots written to $out/"
