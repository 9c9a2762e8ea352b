#!/usr/bin/env bash
# Cross-compiles the smoke program against a Windows toolchain prefix and
# starts it under Wine, in a fresh Wine prefix under Xvfb, with the offscreen
# and then the windows platform plugin. Usage: check.sh PREFIX
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
PREFIX="${1:?usage: check.sh PREFIX}"
WORK="$(mktemp -d -t tavelo-win-smoke.XXXXXX)"
export WINEPREFIX="$WORK/wine"
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "smoke: building in $WORK"
cmake -S "$HERE" -B "$WORK/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$HERE/../mingw-w64.cmake" -DTAVELO_WIN_PREFIX="$PREFIX" >"$WORK/cmake.log" 2>&1 ||
  { tail -n 30 "$WORK/cmake.log"; exit 1; }
cmake --build "$WORK/build" --parallel 2 >"$WORK/build.log" 2>&1 || { tail -n 30 "$WORK/build.log"; exit 1; }

# No Mono or Gecko prompts; the DLLs are found through WINEPATH, the plugins
# by Qt relative to Qt6Core.dll. Wine hides the host's QT_* variables from
# Windows programs; WINEQT_* reaches them as QT_*.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPATH="Z:${PREFIX//\//\\}\\bin"
exe="$WORK/build/smoke.exe"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -u
  # The very first wineboot of a prefix sometimes fails to load kernel32; once more then.
  wine wineboot -i >/dev/null 2>&1 || wine wineboot -i >/dev/null 2>&1 || { echo "smoke: wineboot failed"; exit 1; }
  rc=0
  for qpa in offscreen windows; do
    start=$(date +%s%N)
    out=$(set -o pipefail; WINEQT_QPA_PLATFORM=$qpa wine "$1" 2>/dev/null | tr -d "\r"); status=$?
    ms=$((($(date +%s%N) - start) / 1000000))
    printf "%s\nsmoke: %s exit %d after %d ms\n" "$out" "$qpa" "$status" "$ms"
    [ "$status" -eq 0 ] && grep -q "platform $qpa," <<<"$out" || rc=1
  done
  exit $rc
' _ "$exe"
