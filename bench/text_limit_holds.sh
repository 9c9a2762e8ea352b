#!/usr/bin/env bash
# How long the window is held by the costliest texts the limits let through:
# the largest text of each kind that presses the layout-work budget hardest
# (ordinary lines, 14-letter lines, 32,700-letter paragraphs, empty lines and
# formatted RTF), shown on the Help page and jumped to its end at once (see
# text_page_probe). Medians of RUNS runs, one process per run.
#
#   BUILD_DIR=build-rel RUNS=5 bash bench/text_limit_holds.sh
set -euo pipefail
BUILD_DIR=${BUILD_DIR:-build-rel}
RUNS=${RUNS:-5}
probe="$BUILD_DIR/text_page_probe"
[ -x "$probe" ] || { echo "build $probe first (cmake --build $BUILD_DIR --target text_page_probe)" >&2; exit 1; }
if [ -n "${DISPLAY:-}" ]; then run() { "$probe" "$@"; }; else run() { xvfb-run -a -s "-screen 0 1024x768x24" "$probe" "$@"; }; fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
echo "| largest taken | size | click -> painted | longest hold |"
echo "|---|---|---|---|"
for kind in plain short long breaks rtf; do
    for ((i = 0; i < RUNS; i++)); do run tavelo "$kind" max 2>/dev/null | grep -E '^(ms|error)' | tr '\n' ' '; echo; done >"$out"
    if grep -q '^error' "$out"; then echo "| $kind | refused |"; continue; fi
    med() { sed -n "s/.*\b$1=\([0-9]*\).*/\1/p" "$out" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
    echo "| $kind | $(($(med bytes) / 1024)) KiB | $(med ms) ms | $(med hold_ms) ms |"
done
