#!/bin/sh
# Starts the disc's menu. A desktop that honours autorun files runs this (after
# asking the listener) with the disc's top folder as the current folder;
# `sh autorun.sh` works as well, also from a disc mounted without exec rights.
#
# The environment is passed on untouched, so the players the menu opens see
# the listener's own: the program finds its libraries through its own RPATH.

title=Tavelo

# Tells the listener why nothing starts: on stderr, and in a dialog where the
# desktop has a dialog tool.
fail() {
    printf 'autorun: %s\n' "$1" >&2
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        if command -v zenity >/dev/null 2>&1; then
            zenity --error --no-markup --title="$title" --text="$1" >/dev/null 2>&1
        elif command -v kdialog >/dev/null 2>&1; then
            kdialog --title "$title" --error "$1" >/dev/null 2>&1
        elif [ -n "${DISPLAY:-}" ] && command -v xmessage >/dev/null 2>&1; then
            xmessage -center -title "$title" "$1" >/dev/null 2>&1
        elif command -v notify-send >/dev/null 2>&1; then
            notify-send "$title" "$1" >/dev/null 2>&1
        fi
    fi
    exit 1
}

disc=$(cd -- "$(dirname -- "$0")" && pwd -P) || fail "cannot find the disc's folder from $0"
cd "$disc" || fail "cannot enter $disc"
kit=$disc/tavelo

[ -f "$kit/bin/tavelo" ] || fail "the menu program is missing from this disc ($kit/bin/tavelo)"
case $(uname -m) in
    x86_64|amd64) ;;
    *) fail "the menu on this disc runs on 64-bit PCs (x86-64); this computer is $(uname -m)" ;;
esac
if [ -z "${DISPLAY:-}" ]; then
    if [ -n "${WAYLAND_DISPLAY:-}" ]; then
        fail "the menu needs X11, and this Wayland session runs no XWayland (DISPLAY is not set)"
    fi
    fail "no graphical session to show the menu in (DISPLAY is not set)"
fi

# Scratch space outside the disc, for what a read-only medium cannot give.
bases="${XDG_RUNTIME_DIR:-} ${TMPDIR:-} /tmp /var/tmp"
tmp=
cleanup() { [ -z "$tmp" ] || rm -rf "$tmp"; }
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
scratch() {
    [ -n "$tmp" ] && return 0
    for base in $bases; do
        [ -d "$base" ] || continue
        tmp=$(mktemp -d "$base/tavelo.XXXXXX" 2>/dev/null) && return 0
    done
    tmp=
    return 1
}

# A disc mounted with noexec (or read without its file modes) cannot run the
# program in place: run a copy of the kit from the first temporary folder
# that allows it. The disc stays the current folder.
if [ ! -x "$kit/bin/tavelo" ]; then
    for base in $bases; do
        [ -d "$base" ] && try=$(mktemp -d "$base/tavelo.XXXXXX" 2>/dev/null) || continue
        if cp -R "$kit" "$try/tavelo" 2>/dev/null && chmod -R u+rwX "$try/tavelo" &&
           chmod 755 "$try/tavelo/bin/tavelo" && [ -x "$try/tavelo/bin/tavelo" ]; then
            tmp=$try
            break
        fi
        rm -rf "$try"
    done
    [ -n "$tmp" ] ||
        fail "this disc is mounted without the right to run programs, and no temporary folder ($bases) takes a copy that may run"
    kit=$tmp/tavelo
fi
prog=$kit/bin/tavelo

# Missing system libraries and a too old C library, named before starting.
if command -v ldd >/dev/null 2>&1; then
    missing=$(ldd "$prog" "$kit/plugins/platforms/libqxcb.so" 2>&1 |
              sed -n -e 's/^[[:space:]]*\([^ ]*\) => not found.*/\1/p' \
                     -e "s/.*version \`\([^']*\)' not found.*/\1/p" | sort -u | tr '\n' ' ')
    if [ -n "$missing" ]; then
        case $missing in
            *GLIBC_*) fail "this system is too old for the menu on this disc: it needs a newer C library (glibc); missing: $missing" ;;
            *) fail "this system lacks libraries the menu needs: $missing" ;;
        esac
    fi
fi

# A session that asks Qt programs for Wayland only: the kit has the X11 plugin.
case ${QT_QPA_PLATFORM:-} in
    ''|*xcb*) ;;
    *) QT_QPA_PLATFORM="$QT_QPA_PLATFORM;xcb"; export QT_QPA_PLATFORM ;;
esac

# The program's messages go to stderr as usual and are also kept, so that a
# failed start can be shown in the dialog.
log=
if scratch && mkfifo "$tmp/stderr.fifo" 2>/dev/null; then
    log=$tmp/stderr.log
    tee "$log" < "$tmp/stderr.fifo" >&2 &
    "$prog" 2> "$tmp/stderr.fifo" &
else
    "$prog" &
fi
child=$!
# Ending this script ends the menu too (a shell defers its traps while a
# foreground program runs; a background one and `wait` do not).
trap 'kill -TERM "$child" 2>/dev/null' HUP INT TERM
wait "$child"
rc=$?
while kill -0 "$child" 2>/dev/null; do
    wait "$child"
    rc=$?
done
case $rc in
    0|129|130|137|143) exit "$rc" ;;  # closed, or ended by the listener
esac
sleep 0.2 2>/dev/null || sleep 1
why=
[ -z "$log" ] || why=$(tail -n 5 "$log" 2>/dev/null)
fail "the menu stopped with an error (code $rc)${why:+:
$why}"
