#!/bin/sh
# Starts the disc's menu. A desktop that honours autorun files runs this (after
# asking the listener) with the disc's top folder as the current folder;
# `sh autorun.sh` works as well, also from a disc mounted without exec rights.
#
# The environment is passed on untouched, so the players the menu opens see
# the listener's own: the program finds its libraries through its own RPATH.
#
# Folder names are data, whatever they hold: nothing here takes a path through
# $(...) (which drops trailing newlines), splits one on blanks, or lets CDPATH
# choose where a cd goes.

title=Tavelo
# Filled in by the kit's build: what the kit's objects ask of the C library
# and of the C++ runtime.
needs_glibc=@GLIBC@
needs_glibcxx=@GLIBCXX@

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
            # xmessage neither wraps nor scrolls sideways.
            printf '%s\n' "$1" | fold -s -w 72 | xmessage -center -title "$title" -file - >/dev/null 2>&1
        elif command -v notify-send >/dev/null 2>&1; then
            notify-send "$title" "$1" >/dev/null 2>&1
        fi
    fi
    exit 1
}

# cd without CDPATH: an operand that starts with / or ./ never consults it.
# -P leaves the physical path in PWD.
enter() {
    case $1 in
        /*) cd -P -- "$1" ;;
        *) cd -P -- "./$1" ;;
    esac
}

case $0 in
    */*) here=${0%/*}/ ;;
    *) here=./ ;;
esac
enter "$here" 2>/dev/null || fail "cannot enter the disc's folder ($here)"
disc=$PWD
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

# Whether the program can run from this folder: Qt cannot hold a path that is
# not UTF-8, and the loader expands $ORIGIN-style names inside one.
plain_path() {
    case $1 in *'$'*) return 1 ;; esac
    command -v iconv >/dev/null 2>&1 || return 0
    printf '%s' "$1" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1
}

# Scratch space outside the disc, for what a read-only medium cannot give:
# the first of these that is a folder, lies outside the disc, has a plain
# name and takes a new folder. Each is taken whole, blanks and all.
tmp=
cleanup() { [ -z "$tmp" ] || rm -rf "$tmp"; }
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
scratch() {
    [ -n "$tmp" ] && return 0
    for base in "${XDG_RUNTIME_DIR:-}" "${TMPDIR:-}" /tmp /var/tmp; do
        [ -n "$base" ] && [ -d "$base" ] || continue
        real=$(enter "$base" 2>/dev/null && printf '%s/' "$PWD") || continue
        case $real in "${disc%/}"/*) continue ;; esac
        plain_path "$real" || continue
        try=$(mktemp -d "${real}tavelo.XXXXXX" 2>/dev/null) || continue
        # The folder must be the one asked for: mktemp may not change its name.
        case $try in "${real}tavelo."??????) tmp=$try; return 0 ;; esac
        rmdir -- "$try" 2>/dev/null
    done
    return 1
}
tried="\$XDG_RUNTIME_DIR, \$TMPDIR, /tmp and /var/tmp"

# A disc mounted with noexec (or read without its file modes) cannot run the
# program in place, nor can Qt start from a folder it cannot name: run a copy
# of the kit from a temporary folder then. The disc stays the current folder.
if [ ! -x "$kit/bin/tavelo" ] || ! plain_path "$kit"; then
    scratch || fail "no temporary folder outside the disc ($tried) can be used for a copy of the menu"
    { cp -R "$kit" "$tmp/tavelo" && chmod -R u+rwX "$tmp/tavelo" && chmod 755 "$tmp/tavelo/bin/tavelo"; } 2>/dev/null ||
        fail "cannot copy the menu into $tmp"
    [ -x "$tmp/tavelo/bin/tavelo" ] ||
        fail "the menu cannot run from this disc (mounted without the right to run programs) nor from its copy in $tmp"
    kit=$tmp/tavelo
fi
prog=$kit/bin/tavelo

# Missing system libraries and a too old system, named before starting.
if command -v ldd >/dev/null 2>&1; then
    found=$(ldd "$prog" "$kit/plugins/platforms/libqxcb.so" 2>&1)
    case $found in
        *"version \`GLIBC_"*" not found"*)
            have=$(getconf GNU_LIBC_VERSION 2>/dev/null) || have=
            fail "this system is too old for the menu on this disc: it needs the C library glibc $needs_glibc or newer (Debian 12, Ubuntu 22.04, Fedora 36 or later), and this computer has ${have:-an older one}" ;;
        *"version \`GLIBCXX_"*" not found"*|*"version \`CXXABI_"*" not found"*)
            fail "this system is too old for the menu on this disc: it needs the C++ runtime of GCC $needs_glibcxx or newer (Debian 12, Ubuntu 22.04, Fedora 36 or later)" ;;
        *"=> not found"*)
            missing=$(printf '%s\n' "$found" | sed -n 's/^[[:space:]]*\([^ ]*\) => not found.*/\1/p' | sort -u)
            fail "this system lacks libraries the menu needs: $(printf '%s\n' "$missing" | paste -s -d ' ' -)" ;;
    esac
fi

# A session that asks Qt programs for Wayland only: the kit has the X11 plugin.
case ${QT_QPA_PLATFORM:-} in
    ''|*xcb*) ;;
    *) QT_QPA_PLATFORM="$QT_QPA_PLATFORM;xcb"; export QT_QPA_PLATFORM ;;
esac

# The program's messages go to stderr as usual and are also kept, so that a
# failed start can be shown in the dialog. The players it starts get the
# listener's own stderr (descriptor 9, named to the program, which takes the
# name out of its environment), so that nothing of ours outlives the menu.
log=
if scratch && mkfifo "$tmp/stderr.fifo" 2>/dev/null; then
    log=$tmp/stderr.log
    tee "$log" < "$tmp/stderr.fifo" >&2 &
    TAVELO_PLAYERS_STDERR=9 "$prog" 9>&2 2> "$tmp/stderr.fifo" &
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
