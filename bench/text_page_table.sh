#!/usr/bin/env bash
# The Help page table: click -> help text painted in the window, against a bare
# QTextEdit with the same settings given the same text, for 1 and 2 MB, the
# largest the program takes, 5 MB (too much to lay out in time: refused) and
# 20 MB (past the size limit: refused) of plain text and a 2 MB RTF document
# (against the plain text it shows). Medians of RUNS interleaved runs (one
# process per run); the memory the shown text costs above the idle window
# (peak RSS once the text is laid out to its end, minus RSS before); and the
# longest the window is held, Ctrl+End pressed as soon as the text shows.
#
#   BUILD_DIR=build-rel RUNS=7 bash bench/text_page_table.sh
#
# Runs in Xvfb (xvfb-run) unless DISPLAY is set; PLATFORM=offscreen uses Qt's
# offscreen platform instead.
set -euo pipefail
BUILD_DIR=${BUILD_DIR:-build-rel}
RUNS=${RUNS:-7}
probe="$BUILD_DIR/text_page_probe"
[ -x "$probe" ] || { echo "build $probe first (cmake --build $BUILD_DIR --target text_page_probe)" >&2; exit 1; }

if [ "${PLATFORM:-}" = offscreen ]; then
    export QT_QPA_PLATFORM=offscreen
    run() { "$probe" "$@"; }
elif [ -n "${DISPLAY:-}" ]; then
    run() { "$probe" "$@"; }
else
    run() { xvfb-run -a -s "-screen 0 1024x768x24" "$probe" "$@"; }
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cases=("plain 1" "plain 2" "plain max" "plain 5" "plain 20" "rtf 2")
for ((i = 0; i < RUNS; i++)); do
    for c in "${cases[@]}"; do
        for who in tavelo bare; do
            { run "$who" $c 2>/dev/null | grep -E '^(ms|error)' | tr '\n' ' '; echo; } >>"$out/${who}_${c// /_}"
        done
    done
done

median() {  # field name, file
    sed -n "s/.*\b$1=\([0-9]*\).*/\1/p" "$2" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'
}
echo "| help.txt | Tavelo, click -> text painted | bare QTextEdit | ratio | Tavelo memory above idle (peak) | longest hold |"
echo "|---|---|---|---|---|---|"
for c in "${cases[@]}"; do
    if grep -q '^error:' "$out/tavelo_${c// /_}"; then
        t=$(median ms "$out/tavelo_${c// /_}")
        b=$(median ms "$out/bare_${c// /_}")
        msg=$(grep -m1 '^error:' "$out/tavelo_${c// /_}" | sed 's/^error: \(.*\) ms=.*/\1/')
        echo "| ${c#* } MB ${c%% *} | refused (\"$msg\") after ${t} ms | ${b} ms | - | - | $(median hold_ms "$out/tavelo_${c// /_}") ms |"
        continue
    fi
    t=$(median ms "$out/tavelo_${c// /_}")
    b=$(median ms "$out/bare_${c// /_}")
    idle=$(median idle_kb "$out/tavelo_${c// /_}")
    peak=$(median peak_kb "$out/tavelo_${c// /_}")
    hold=$(median hold_ms "$out/tavelo_${c// /_}")
    awk -v c="$c" -v t="$t" -v b="$b" -v idle="$idle" -v peak="$peak" -v hold="$hold" 'BEGIN {
        split(c, p, " ");
        printf "| %s %s | %d ms | %d ms | %.2f x | %.0f MB | %d ms |\n", (p[2] == "max" ? "largest taken" : p[2] " MB"),
            p[1], t, b, (b > 0 ? t / b : 0),
            (peak - idle) / 1024, hold }'
done
