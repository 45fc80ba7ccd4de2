#!/usr/bin/env bash
# make dist-check: the release checked as users and packagers meet it.
#   1. make dist in two fresh clones of HEAD, in folders of different names,
#      must give the same bytes in dist/;
#   2. SHA256SUMS and the package manifests name the zips' own hashes
#      (tests/dist/check_manifests.py);
#   3. both zips run from an awkward folder under Wine, the x86 one under
#      32-bit Wine (tests/dist/run_from_zip.sh).
# Uncommitted changes are not in the clones.
set -euo pipefail
cd "$(dirname "$0")/.."

work=build/dist-check
rm -rf "$work"
mkdir -p "$work"
commit=$(git rev-parse HEAD)

seconds() { date +%s; }
started=$(seconds)
for clone in one clone-two; do
    git clone -q --no-checkout . "$work/$clone"
    git -C "$work/$clone" checkout -q --detach "$commit"
    echo "dist-check: make dist in $work/$clone"
    make -C "$work/$clone" --no-print-directory dist >"$work/$clone.log" 2>&1 ||
        { cat "$work/$clone.log"; exit 1; }
done
echo "dist-check: two builds took $(( $(seconds) - started )) s"
grep -A2 '\.zip:' "$work/one.log"

if ! diff -r "$work/one/dist" "$work/clone-two/dist"; then
    echo "dist-check: the two clones' dist/ differ" >&2
    exit 1
fi
echo "dist-check: both clones gave the same bytes"
cat "$work/one/dist/SHA256SUMS"

/usr/bin/python3 tests/dist/check_manifests.py "$work/one/dist"
echo "dist-check: the manifests name the zips' hashes"

make --no-print-directory configure >/dev/null
cmake --build --preset mingw-x64 --target portable_check
tools/winenv.sh "$work/wine" tests/dist/run_from_zip.sh build/x64/bin/portable_check.exe "$work"/one/dist/*.zip
echo "dist-check: both zips ran from their folders; passed in $(( $(seconds) - started )) s"
