#!/bin/sh
# A folder on a file system of 8 MiB, for tests of saves that run out of
# disk space part-way. It needs the right to mount (root with CAP_SYS_ADMIN);
# without it the folder stays an ordinary one and the tests that need a
# small disk say so and skip. `release` unmounts it again.
# Usage: tools/small-disk.sh make|release DIR
set -u
action=$1
dir=$2
if mountpoint -q "$dir" 2>/dev/null; then
    umount "$dir" || exit 1
fi
[ "$action" = release ] && { rm -rf "$dir"; exit 0; }
rm -rf "$dir"
mkdir -p "$dir"
if ! mount -t tmpfs -o size=8m,mode=0777 velkor-small-disk "$dir" 2>/dev/null; then
    echo "small-disk: cannot mount here; the disk-full tests will skip" >&2
fi
exit 0
