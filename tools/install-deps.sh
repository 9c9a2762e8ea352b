#!/usr/bin/env bash
# Installs, with apt-get, every Debian 12 package Tavelo needs to build, run
# and test; packages already present are left alone.
#
#   --windows  also the Windows cross toolchain's packages (MinGW-w64, nasm,
#              Wine, ...). They weigh several hundred MB, so the Linux-only
#              path does not pay for them.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev libjpeg62-turbo-dev libglib2.0-dev shared-mime-info
  libgtest-dev libbenchmark-dev
  fonts-urw-base35 fonts-liberation2 fonts-dejavu-core
  xvfb xdotool imagemagick x11-utils openbox procps file python3 strace x11-xkb-utils
  xorriso patchelf debootstrap fontconfig qt6-base-dev-tools dex desktop-file-utils
  chromium
)

# tools/windows/toolchain.sh builds Qt and libjpeg-turbo from Debian's sources
# (dpkg-dev for apt-get source); Wine runs the Windows tests.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix nasm dpkg-dev cmake ninja-build wine wine64
)

for arg in "$@"; do
  case "$arg" in
    --windows) PACKAGES+=("${WINDOWS_PACKAGES[@]}") ;;
    *) echo "usage: $0 [--windows]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  log="$(mktemp -t tavelo-apt.XXXXXX)"
  if ! { $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "apt-get failed; the whole log is $log" >&2
    exit 1
  fi
  rm -f "$log"
  echo "Installed."
else
  echo "All build and test packages are installed."
fi
