#!/usr/bin/env bash
# How long the window is held by the costliest texts the limits let through:
# texts of each shape that hardest presses the layout-work budget, each just
# under it, shown on the Help page and jumped to their end at once (see
# text_page_probe). Medians of RUNS runs, one process per run.
#
#   BUILD_DIR=build-rel RUNS=5 bash bench/text_limit_holds.sh
set -euo pipefail
BUILD_DIR=${BUILD_DIR:-build-rel}
RUNS=${RUNS:-5}
WORK=${WORK:-3000000}  # kMaxTextWork
probe="$BUILD_DIR/text_page_probe"
[ -x "$probe" ] || { echo "build $probe first (cmake --build $BUILD_DIR --target text_page_probe)" >&2; exit 1; }
if [ -n "${DISPLAY:-}" ]; then run() { "$probe" "$@"; }; else run() { xvfb-run -a -s "-screen 0 1024x768x24" "$probe" "$@"; }; fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 - "$dir" "$WORK" <<'PY'
import random, sys
d, work = sys.argv[1], int(sys.argv[2])
rnd = random.Random(11)
words = [''.join(rnd.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(1, 11))) for _ in range(5000)]
def para(n):
    s, k = [], 0
    while k < n:
        w = rnd.choice(words); s.append(w); k += len(w) + 1
    return ' '.join(s)[:n]
def cyrillic_line():  # Windows-1251 letters
    line, target = b'', rnd.randint(30, 90)
    while len(line) < target:
        line += (b' ' if line else b'') + bytes(0xE0 + rnd.randrange(32) for _ in range(rnd.randint(1, 11)))
    return line
# Work per paragraph: its characters, its separator and 24.
open(f'{d}/short.txt', 'w').write(''.join(para(14) + '\r\n' for _ in range(work // 39 - 100)))
open(f'{d}/long.txt', 'w').write('\r\n'.join(para(32700) for _ in range(work // 32725 - 1)))
open(f'{d}/empty.txt', 'w').write('\n' * (work // 25 - 100))
with open(f'{d}/ordinary.txt', 'wb') as f:
    used = 0
    while used < work - 200:
        line = cyrillic_line()
        f.write(line + b'\r\n'); used += len(line) + 25
# RTF: three runs and a paragraph per line, letters as \'xx escapes.
esc = lambda bs: ''.join("\\'%02x" % c if c >= 0x80 else chr(c) for c in bs)
body, used = [], 0
while used < work - 500:
    line = cyrillic_line(); a, b = len(line) // 3, 2 * len(line) // 3
    body.append('\\pard\\qc ' + esc(line[:a]) + '{\\b ' + esc(line[a:b]) + '}' + esc(line[b:]) + '\\par\r\n')
    used += len(line) + 4 * 24
open(f'{d}/formatted.rtf', 'w').write('{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}\r\n' + ''.join(body) + '}')
PY

echo "| text (just under the budget) | size | click -> painted | longest hold |"
echo "|---|---|---|---|"
for name in ordinary.txt short.txt long.txt empty.txt formatted.rtf; do
    for ((i = 0; i < RUNS; i++)); do run tavelo file "$dir/$name" 2>/dev/null | grep -E '^(ms|error)' | tr '\n' ' '; echo; done >"$dir/$name.out"
    if grep -q '^error' "$dir/$name.out"; then echo "| $name | refused: over the budget |"; continue; fi
    med() { sed -n "s/.*\b$1=\([0-9]*\).*/\1/p" "$dir/$name.out" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
    echo "| $name | $(( $(stat -c %s "$dir/$name") / 1024 )) KiB | $(med ms) ms | $(med hold_ms) ms |"
done
