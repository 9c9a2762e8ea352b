#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavelo on the bundled demo disc.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
bash "$ROOT/tools/install-deps.sh"
bash "$ROOT/tools/build.sh"
cd "$ROOT/demo-disc"
exec "$ROOT/build/tavelo"
