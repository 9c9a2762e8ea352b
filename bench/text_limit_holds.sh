#!/usr/bin/env bash
# How long the window is held by the costliest texts the limits let through:
# the largest text of each kind, shown on the Help page and jumped to its end
# at once (see text_page_probe). The kinds: ordinary lines, 14-letter lines,
# 32,700-letter paragraphs, empty lines and formatted RTF; the layout features
# (a script change at every character, direction changes, bidirectional
# isolates, tabs, combining marks, emoji, format changes), in lines of 52
# characters and in paragraphs of 32,700; and prose in the scripts lyrics are
# written in. RUNS runs each, one process per run: the least is the quiet
# figure on a busy machine, the most says how busy it was.
#
#   BUILD_DIR=build-rel RUNS=5 bash bench/text_limit_holds.sh [KIND...]
#
# VIEW=group loads each text as the group text (the group page's wrapping
# view) instead of the Help page.
set -euo pipefail
BUILD_DIR=${BUILD_DIR:-build-rel}
RUNS=${RUNS:-5}
probe="$BUILD_DIR/text_page_probe"
[ -x "$probe" ] || { echo "build $probe first (cmake --build $BUILD_DIR --target text_page_probe)" >&2; exit 1; }
if [ -n "${DISPLAY:-}" ]; then run() { "$probe" "$@"; }; else run() { xvfb-run -a -s "-screen 0 1024x768x24" "$probe" "$@"; }; fi
kinds=("$@")
if ((${#kinds[@]} == 0)); then
    kinds=(plain short long breaks rtf rtfruns longrtfruns longsparsertfruns
        mixed scripts rtl bidi isolates tabs alltabs marks stacks emoji emojizwj
        longmixed longscripts longsparsescripts longrarescripts longisolates longtabs longmarks longemoji
        latin cyrillic greek hebrew arabic devanagari cjk)
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "| largest taken | size | work | click -> painted | longest hold (least-most of $RUNS) |"
echo "|---|---|---|---|---|"
for kind in "${kinds[@]}"; do
    for ((i = 0; i < RUNS; i++)); do run "${VIEW:-tavelo}" "$kind" max 2>/dev/null | grep -E '^(ms|error)' | tr '\n' ' '; echo; done >"$out"
    if grep -q '^error' "$out"; then echo "| $kind | refused |"; continue; fi
    vals() { sed -n "s/.*\b$1=\([0-9]*\).*/\1/p" "$out" | sort -n; }
    work=$(sed -n 's/.*\bwork=\([0-9]*\).*/\1/p' "$out" | head -1)
    echo "| $kind | $(($(vals bytes | head -1) / 1024)) KiB | ${work:--} | $(vals ms | head -1) ms | $(vals hold_ms | head -1)-$(vals hold_ms | tail -1) ms |"
done
