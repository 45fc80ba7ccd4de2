#!/usr/bin/env bash
# Runs inside tools/winenv.sh (make dist-check). Each release zip is unpacked
# into a folder on C: whose name has blanks and letters outside ASCII, and
# portable_check.exe runs both programs from there (tests/dist/portable_check.cpp).
# Then, from the Unix side: the programs' files are beside them, and nothing
# else was written anywhere on C:.
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

failed=0
for zip in "$@"; do
    name="Velkor Tools ä ö 中文 $(basename "$zip" .zip)"
    dir="$drive_c/Programme für alle/$name"
    mkdir -p "$dir"
    /usr/bin/python3 -m zipfile -e "$zip" "$dir"
    marker=$(mktemp "$WINEPREFIX/marker.XXXXXX")

    echo "run_from_zip: $name"
    wine "$driver" "C:\\Programme für alle\\$name" 'C:\Scan tree' </dev/null || failed=1
    for file in config.ini history.dat settings.ini; do
        [ -s "$dir/$file" ] || { echo "run_from_zip: no $file beside the programs" >&2; failed=1; }
    done
    # The programs' own files, and nothing else, are new or changed.
    elsewhere=$(find "$drive_c" -newer "$marker" -type f \
        ! -path "$dir/config.ini" ! -path "$dir/history.dat" ! -path "$dir/settings.ini")
    if [ -n "$elsewhere" ]; then
        echo "run_from_zip: written besides the programs' files:" >&2
        echo "$elsewhere" >&2
        failed=1
    fi
    rm -f "$marker"
done
exit $failed
