#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh PREFIX WINEPREFIX PROGRAM [ARGS...]
# PREFIX is the Windows toolchain's (its bin/ holds Qt's and the compiler's
# DLLs); WINEPREFIX is made on first use (without PROGRAM, only that). Drive
# Q: is an empty folder for the run.
set -eu
prefix=$1 wineprefix=$2
shift 2
export WINEPREFIX="$wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # The very first start now and then fails to load kernel32; once more does it.
  wine wineboot -i >/dev/null 2>&1 || wine wineboot -i >/dev/null 2>&1
fi
[ $# -gt 0 ] || exit 0
# A new prefix maps drive Z: to /; naming the folders that way needs no Wine
# start of its own (which may fail now and then, like the first one).
WINEPATH="Z:$(printf '%s' "$prefix/bin" | tr / '\\')"
QT_PLUGIN_PATH="Z:$(printf '%s' "$prefix/plugins" | tr / '\\')"
# Wine keeps the host's QT_ variables from Windows programs; WINEQT_ ones
# reach them under the QT_ name.
export WINEPATH WINEQT_PLUGIN_PATH="$QT_PLUGIN_PATH" WINEQT_QPA_PLATFORM=offscreen
# An empty folder as drive Q:, for the tests that start at a drive's root.
drive=$(mktemp -d)
ln -sfn "$drive" "$WINEPREFIX/dosdevices/q:"
export TAVELO_TEST_DRIVE=Q:
out=$(mktemp)
status=0
wine "$@" >"$out" 2>&1 || status=$?
# A program that printed nothing at all never reached its main: Wine failed
# to start it (as wineboot now and then does). Once more, then it counts.
if [ "$status" -ne 0 ] && [ ! -s "$out" ]; then
  status=0
  wine "$@" >"$out" 2>&1 || status=$?
fi
cat "$out"
rm -f "$out" "$WINEPREFIX/dosdevices/q:"
rm -rf "$drive"
exit $status
