#!/usr/bin/env bash
# Runs inside tools/winenv.sh (make dist-check). Each release zip is unpacked
# into a folder on C: whose name has blanks and letters outside ASCII, and
# portable_check.exe runs both programs from there (tests/dist/portable_check.cpp).
# Around that run: the programs' files must be beside them, nothing else may
# be written anywhere on C:, and the registry must be as before: the user's
# whole hive and the machine's vendor keys, in both views.
# Usage: run_from_zip.sh PORTABLE_CHECK_EXE ZIP...
set -euo pipefail

driver=$1
shift
drive_c=$WINEPREFIX/drive_c
# The tree aliasdesk scans: three programs, two of them in subfolders.
mkdir -p "$drive_c/Scan tree/Editors" "$drive_c/Scan tree/Tools"
for program in Editors/notepad Tools/calc player; do
    printf MZ >"$drive_c/Scan tree/$program.exe"
done

registry() {
    wine reg export HKCU "Z:${WINEPREFIX//\//\\}\\user.export" /y >/dev/null
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/user.export"
    wine reg query 'HKLM\Software' /reg:64
    wine reg query 'HKLM\Software' /reg:32
}

failed=0
for zip in "$@"; do
    name="Velkor Tools ä ö 中文 $(basename "$zip" .zip)"
    dir="$drive_c/Programme für alle/$name"
    mkdir -p "$dir"
    /usr/bin/python3 -m zipfile -e "$zip" "$dir"
    registry >"$WINEPREFIX/registry.before"
    marker=$(mktemp "$WINEPREFIX/marker.XXXXXX")

    echo "run_from_zip: $name"
    wine "$driver" "C:\\Programme für alle\\$name" 'C:\Scan tree' </dev/null || failed=1
    for file in config.ini history.dat settings.ini; do
        [ -s "$dir/$file" ] || { echo "run_from_zip: no $file beside the programs" >&2; failed=1; }
    done
    elsewhere=$(find "$drive_c" -newer "$marker" -type f \
        ! -path "$dir/config.ini" ! -path "$dir/history.dat" ! -path "$dir/settings.ini")
    if [ -n "$elsewhere" ]; then
        printf 'run_from_zip: written besides the programs'"'"' files:\n%s\n' "$elsewhere" >&2
        failed=1
    fi
    if ! registry | diff "$WINEPREFIX/registry.before" - >&2; then
        echo "run_from_zip: the registry changed" >&2
        failed=1
    fi
done
exit $failed
