#!/bin/sh
# Runs one Windows program under Wine (the tests' emulator) and hands on its
# output only when it has ended: helper processes that Wine starts on demand
# may live on holding the pipes the program was given, and the caller must
# not wait for them. Standard input is the null device rather than closed:
# with descriptor 0 closed, Wine fails to start some child processes of the
# program ("recvmsg: Socket operation on non-socket").
out=$(mktemp)
wine "$@" </dev/null >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"
exit $rc
