#!/usr/bin/env bash
# Builds the program and its Windows tests with the cached Windows toolchain
# (built first when missing) into build-win/, and runs the tests under Wine
# (CTest's cross-compiling emulator: tests/windows/wine-run.sh), in a Wine
# prefix made for the run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
prefix=$(bash "$ROOT/tools/windows/toolchain.sh" | tail -n1)
build="$ROOT/build-win"
cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_BENCH=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/tools/windows/mingw-w64.cmake" -DTAVELO_WIN_PREFIX="$prefix" >/dev/null
cmake --build "$build" -j 2
# Nothing a test left in the last run's prefix carries over. One test at a
# time: the tests share the prefix and its drive Q:.
rm -rf "$build/wineprefix"
sh "$ROOT/tests/windows/wine-run.sh" "$prefix" "$build/wineprefix"
ctest --test-dir "$build" --output-on-failure
