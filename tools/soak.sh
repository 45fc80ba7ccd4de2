#!/bin/sh
# The long reliability runs: every test program named *_reliability_tests,
# with VELKOR_SOAK=1, one after the other and without the test runner's time
# limit (each run bounds its own steps). Run inside tools/winenv.sh.
# Usage: tools/soak.sh BUILD_DIR
set -u
build=$1
tools=$(cd "$(dirname "$0")" && pwd)
"$tools/make-test-fixtures.sh" "$build/fixtures" || exit 1
"$tools/small-disk.sh" make "$build/smalldisk"
trap '"$tools/small-disk.sh" release "$build/smalldisk"; chmod -R u+rwx "$build/fixtures"' EXIT
export VELKOR_SOAK=1
rc=0
found=0
for exe in "$build"/bin/*_reliability_tests.exe; do
    [ -f "$exe" ] || continue
    found=1
    echo "== $(basename "$exe") (long run)"
    (cd "$build/bin" && "$tools/wine-exec.sh" "./$(basename "$exe")") || rc=1
done
[ $found = 1 ] || { echo "no reliability test programs built" >&2; exit 1; }
exit $rc
