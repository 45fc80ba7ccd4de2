#!/usr/bin/env bash
# make dist: the release builds for x64 and x86, packed into dist/ with their
# sums and package manifests (tools/package_dist.py). The same commit gives
# the same bytes: every time stamp is SOURCE_DATE_EPOCH, by default the time
# of the last commit.
# Usage: tools/dist.sh URL_TEMPLATE HOMEPAGE   (defaults in the Makefile)
set -euo pipefail
cd "$(dirname "$0")/.."

url=${1:?usage: tools/dist.sh URL_TEMPLATE HOMEPAGE}
homepage=${2:?usage: tools/dist.sh URL_TEMPLATE HOMEPAGE}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

for arch in x64 x86; do
    [ -f build/dist-$arch/CMakeCache.txt ] || cmake --preset dist-$arch >/dev/null
    cmake --build --preset dist-$arch
done

rm -rf dist
/usr/bin/python3 tools/package_dist.py --version "$(cat build/dist-x64/generated/release_version)" \
    --epoch "$SOURCE_DATE_EPOCH" --url "$url" --homepage "$homepage" --out dist build/dist-x64/bin build/dist-x86/bin
