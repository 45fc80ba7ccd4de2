#!/bin/sh
# Runs one Windows program under Wine (the tests' emulator) and hands on its
# output only when it has ended: helper processes that Wine starts on demand
# may live on holding the pipes the program was given, and the caller must
# not wait for them. Standard input is the null device rather than closed:
# with descriptor 0 closed, Wine fails to start some child processes of the
# program ("recvmsg: Socket operation on non-socket").
#
# The test programs write a start mark (the file VELKOR_START_MARK names) as
# the first thing their own code does. A run that failed without the mark
# never reached that code: what Wine printed is shown, and the program is
# started once more with Wine's error messages on, which is said (and noted
# in VELKOR_START_LOG for tools/winenv.sh to list). A failure
# with the mark is the program's own and is never retried. Any failure that
# printed nothing is reported with its exit code and how long it ran.
program=$1
mark=$(mktemp -u "${TMPDIR:-/tmp}/velkor-start.XXXXXX")
out=$(mktemp)
wine_err=$(mktemp)
trap 'rm -f "$mark" "$out" "$wine_err"' EXIT

now_ms() { date +%s%3N; }

# The mark's Windows name: Wine's drive Z: is the Unix root.
run_once() {
    rm -f "$mark"
    started=$(now_ms)
    VELKOR_START_MARK="Z:$(printf '%s' "$mark" | tr / '\\')" wine "$@" </dev/null >"$out" 2>"$wine_err"
    rc=$?
    elapsed=$(( $(now_ms) - started ))
}

say() { echo "wine-exec: $program: $*"; }

run_once "$@"
if [ $rc -ne 0 ] && [ ! -e "$mark" ]; then
    say "did not start: exit code $rc after $elapsed ms, before the program's own code ran"
    say "Wine printed:"
    cat "$out" "$wine_err"
    say "starting it once more, with Wine's error messages on"
    [ -n "${VELKOR_START_LOG:-}" ] && say "failed to start after $elapsed ms (exit code $rc), started again" >>"$VELKOR_START_LOG"
    WINEDEBUG=-all,err+all run_once "$@"
fi
cat "$out"
cat "$wine_err" >&2
if [ $rc -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$wine_err" ]; then
    if [ -e "$mark" ]; then
        say "ended with exit code $rc after $elapsed ms and printed nothing"
    else
        say "did not start: exit code $rc after $elapsed ms and Wine printed nothing"
    fi
fi
exit $rc
