#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: unit and
# widget tests (offscreen), the whole-program tests in Xvfb, the kit proof,
# then the Windows build's tests under Wine (the Windows toolchain is built
# from Debian's sources on first use and cached: 10-30 minutes once).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/tools/install-deps.sh" --windows
# The Windows toolchain first, outside any test's time limit: the kit proof
# builds the Windows kit with it.
bash "$ROOT/tools/windows/toolchain.sh" >/dev/null
bash "$ROOT/tools/build.sh"
(cd "$ROOT/build" && ctest --output-on-failure -j 2 "$@")
bash "$ROOT/tools/windows/test.sh"
