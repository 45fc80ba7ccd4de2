#!/usr/bin/env bash
# Runs one command inside a Wine environment of its own: a private WINEPREFIX,
# a private Xvfb display (unless VELKOR_DISPLAY=user and DISPLAY is set) and a
# persistent wineserver, so that Wine starts in milliseconds instead of seconds.
# Everything it starts is stopped when the command ends, also on failure.
#
# Usage: tools/winenv.sh PREFIX_DIR COMMAND [ARGS...]
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX_DIR COMMAND [ARGS...]" >&2
    exit 2
fi

# Debian's Wine has no preloader to keep the low address space free before
# the C library uses it. With address randomisation, the loader's heap lands
# on the page Wine maps at 0x7ffe0000 about once in a thousand starts, and
# that start ends with exit code 1 before the program's code runs. Every Wine
# process of the run descends from this one and keeps its layout unrandomised.
no_randomize=0x0040000
if [ $(( 0x$(cat /proc/self/personality) & no_randomize )) -eq 0 ]; then
    if [ -z "${VELKOR_UNRANDOMIZED:-}" ]; then
        VELKOR_UNRANDOMIZED=1 exec setarch "$(uname -m)" -R "$0" "$@"
    fi
    echo "winenv: address randomisation could not be switched off; about one Wine start in a thousand will fail" >&2
fi

prefix_dir=$1
shift
mkdir -p "$prefix_dir"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix_dir" && pwd)
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono or Gecko installers: the programs need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

xvfb_pid=
server_started=
work=$(mktemp -d)
# tools/wine-exec.sh notes here every start it had to repeat.
export VELKOR_START_LOG="$work/repeated-starts"

cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    if [ -s "$VELKOR_START_LOG" ]; then
        echo "Wine starts that failed before the program ran, each started again (tools/wine-exec.sh):"
        cat "$VELKOR_START_LOG"
    fi
    if [ -n "$server_started" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "${VELKOR_DISPLAY:-}" != user ] || [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display number and writes it to the fd once it listens.
    # The screen holds aliasdesk's dialog whole at 144 DPI.
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$work/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "Xvfb did not report a display" >&2; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"
fi

# A server that keeps running between the programs of this run (-p: no idle exit).
wineserver -p
server_started=1
# Start Wine's services and desktop now, detached from the caller's pipes;
# started later by a program, they would hold that program's output open.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1
# Debian's Wine looks for its own fonts (fonts-wine) under a path it cannot
# resolve. Linked into the prefix's fonts folder they are found: caption
# buttons are drawn with Marlett and dialogs in Tahoma, as on Windows.
prefix_fonts="$WINEPREFIX/drive_c/windows/Fonts"
if [ -d "$prefix_fonts" ]; then
    for font in /usr/share/wine/fonts/*.ttf; do
        if [ -e "$font" ] && [ ! -e "$prefix_fonts/${font##*/}" ]; then
            ln -s "$font" "$prefix_fonts/"
        fi
    done
fi
# There is no window manager on the test display: windows that Wine leaves
# to one make every hide and destroy wait two seconds for it.
if [ -n "$xvfb_pid" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
fi

"$@"
