#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: unit and
# widget tests (offscreen) and the whole-program tests in Xvfb.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/tools/install-deps.sh"
bash "$ROOT/tools/build.sh"
cd "$ROOT/build"
ctest --output-on-failure -j 2 "$@"
