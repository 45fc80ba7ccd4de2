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

# aliasdesk with an edit in progress over a path cell (the driver scans a few
# programs and clicks a selected row's path cell again), without data files.
edit_stage="$build/shots/aliasdesk-edit"
rm -rf "$edit_stage"
mkdir -p "$edit_stage"
cp "$build/bin/aliasdesk.exe" "$edit_stage/"

tools/winenv.sh "$build/wine-shots" bash -c "
    tools/screenshot.sh '$build/bin/aliasdesk.exe' '$out/aliasdesk.png'
    tools/screenshot.sh '$stage/prefdesk.exe' '$out/prefdesk.png'
    tools/screenshot.sh '$edit_stage/aliasdesk.exe' '$out/aliasdesk-edit.png' '$build/bin/edit_shot_driver.exe'
"
echo "Screenshots written to $out/"
