#!/bin/sh
# Prepares, from the Linux side, folders that a Windows program cannot make
# under Wine (its CreateSymbolicLinkW makes nothing): directory links that
# lead back up the tree. Wine shows them to programs as folders.
# Usage: tools/make-test-fixtures.sh DIR
set -eu
dir=$1
# A folder left closed by an earlier run must open again before it can go.
if [ -d "$dir" ]; then chmod -R u+rwx "$dir" 2>/dev/null || true; fi
rm -rf "$dir"
mkdir -p "$dir/loop/sub"
: >"$dir/loop/top.exe"
: >"$dir/loop/sub/inner.exe"
ln -s .. "$dir/loop/sub/back"
ln -s . "$dir/loop/sub/self"

# A drive whose root holds nothing else, for names as long as a path allows.
# Wine resolves drive letters through the prefix's dosdevices links only.
mkdir -p "$dir/qdrive"
if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/dosdevices" ]; then
    ln -sfn "$dir/qdrive" "$WINEPREFIX/dosdevices/q:"
fi

# A folder that a scan may not list (root lists it all the same: the tests check).
mkdir -p "$dir/unreadable/closed"
: >"$dir/unreadable/open.exe"
: >"$dir/unreadable/closed/hidden.exe"
chmod 000 "$dir/unreadable/closed"
