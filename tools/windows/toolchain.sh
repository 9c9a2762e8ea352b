#!/usr/bin/env bash
# Builds the Windows (x86_64, MinGW-w64 posix threads) libraries Tavelo links
# against, from Debian's own source packages, so that they are the same
# versions the Linux build uses:
#   - Qt base (qt6-base): Core, Gui, Widgets as shared DLLs, the windows and
#     offscreen platform plugins and the windowsvista style;
#   - libjpeg-turbo: libjpeg-62.dll.
# The MinGW runtime DLLs (libstdc++, libgcc_s, winpthread) are copied beside
# them, so <prefix>/bin holds every DLL a program needs (plugins are under
# <prefix>/plugins).
#
# Usage: tools/windows/toolchain.sh [--print-prefix | --check]
#   (none)          build unless already cached; print the prefix.
#   --print-prefix  print the prefix if it is cached, fail otherwise; never builds.
#   --check         build if needed, then cross-compile a small Qt + libjpeg
#                   program and start it under Wine (tools/windows/smoke/).
# The prefix is the last line on stdout (progress goes to stderr), so
#   prefix=$(bash tools/windows/toolchain.sh | tail -n1)
# Use it with
#   cmake -DCMAKE_TOOLCHAIN_FILE=tools/windows/mingw-w64.cmake -DTAVELO_WIN_PREFIX="$prefix"
#
# Cache: ${TAVELO_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavelo/win-toolchain}/<key>/,
# where <key> hashes this script, mingw-w64.cmake, the two source versions
# and the cross compiler's version (the inputs are in <prefix>/toolchain-key.txt).
# A build is staged in <key>.work/ and renamed to <key>/ only when complete.
#
# Needs the packages of `tools/install-deps.sh --windows`; adds a deb-src entry
# for bookworm and bookworm-security to apt's sources when there is none.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
SCRIPT="$HERE/$(basename "$0")"
TOOLCHAIN_FILE="$HERE/mingw-w64.cmake"
CACHE_ROOT="${TAVELO_WIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavelo/win-toolchain}"
MINGW=x86_64-w64-mingw32
CXX="$MINGW-g++-posix"
JOBS=2

say() { echo "toolchain: $*" >&2; }
die() {
  echo "toolchain: error: $*" >&2
  exit 1
}

mode=build
for arg in "$@"; do
  case "$arg" in
    --print-prefix) mode=print ;;
    --check) mode=check ;;
    -h | --help)
      sed -n '2,/^set -euo/p' "$SCRIPT" | sed '$d; s/^# \{0,1\}//'
      exit 0
      ;;
    *) die "unknown argument '$arg' (see --help)" ;;
  esac
done

need() {
  command -v "$1" >/dev/null || die "$1 is missing; run: bash tools/install-deps.sh --windows"
}
for tool in "$CXX" "$MINGW-gcc-posix" "$MINGW-windres" nasm cmake ninja dpkg-source sha256sum flock; do
  need "$tool"
done

# The versions the Linux build links against are the versions to build.
source_version() {
  local v
  v="$(dpkg-query -W -f='${source:Version}' "$1" 2>/dev/null)" ||
    die "$1 is not installed; run: bash tools/install-deps.sh"
  echo "$v"
}
QT_VERSION="$(source_version qt6-base-dev)"
JPEG_VERSION="$(source_version libjpeg62-turbo-dev)"

key_inputs() {
  echo "script $(sha256sum <"$SCRIPT" | cut -d' ' -f1)"
  echo "toolchain-file $(sha256sum <"$TOOLCHAIN_FILE" | cut -d' ' -f1)"
  echo "qt6-base $QT_VERSION"
  echo "libjpeg-turbo $JPEG_VERSION"
  echo "compiler $("$CXX" --version | head -n1)"
  local p
  for p in g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev; do
    echo "$p $(dpkg-query -W -f='${Version}' "$p" 2>/dev/null || echo none)"
  done
}
KEY_TEXT="$(key_inputs)"
KEY="$(sha256sum <<<"$KEY_TEXT" | cut -c1-16)"
PREFIX="$CACHE_ROOT/$KEY"
WORK="$CACHE_ROOT/$KEY.work"
MARK="toolchain-key.txt"

finished() { [ -f "$PREFIX/$MARK" ]; }

check() {
  bash "$HERE/smoke/check.sh" "$PREFIX" >&2 || die "the smoke check failed"
}

if [ "$mode" = print ]; then
  finished || die "no finished toolchain at $PREFIX; run tools/windows/toolchain.sh"
  echo "$PREFIX"
  exit 0
fi

mkdir -p "$CACHE_ROOT"
exec 9>"$CACHE_ROOT/$KEY.lock"
if ! flock -n 9; then
  say "another run is building $KEY; waiting for it"
  flock 9
fi

if finished; then
  [ "$mode" = check ] && check
  echo "$PREFIX"
  exit 0
fi

START=$SECONDS
say "building the Windows toolchain into $PREFIX"
say "a first build takes about 20-45 minutes on two cores (Qt is ~900 compile steps)"

# A previous run that stopped half-way leaves its work folder: start over,
# keeping only sources that were fetched completely.
if [ -d "$WORK" ]; then
  find "$WORK" -mindepth 1 -maxdepth 1 ! -name src -exec rm -rf {} +
  [ -f "$WORK/src/.complete" ] || rm -rf "$WORK/src"
fi
LOGS="$WORK/logs"
STAGE="$WORK/stage"
mkdir -p "$LOGS" "$WORK/src"

step_log=""
# step NAME CMD...: runs CMD with its output in logs/NAME.log; stops the build
# loudly, with the log's tail, if it fails.
step() {
  local name="$1"
  shift
  step_log="$LOGS/$name.log"
  say "step: $name ($((SECONDS - START)) s)"
  # A subshell outside any condition, so that errexit holds inside functions.
  set +e
  (
    set -e
    "$@"
  ) >"$step_log" 2>&1
  local rc=$?
  set -e
  ((rc == 0)) || fail "$name"
}
fail() {
  {
    echo "toolchain: FAILED at step '$1'. Last lines of $step_log:"
    tail -n 40 "$step_log" | sed 's/^/  | /'
    echo "toolchain: the work folder $WORK is kept for inspection; the next run starts over."
  } >&2
  exit 1
}

# build NAME DIR: ninja in DIR, its output in logs/NAME.log, a progress line
# every 50 steps.
build() {
  local name="$1" dir="$2"
  step_log="$LOGS/$name.log"
  say "step: $name ($((SECONDS - START)) s)"
  if ! cmake --build "$dir" --parallel "$JOBS" 2>&1 | tee "$step_log" |
    awk -F'[][/]' -v name="$name" '
      /^\[[0-9]+\/[0-9]+\]/ {
        n = $2 + 0; t = $3 + 0
        if (n - last >= 50 || n == t) {
          printf "toolchain:   %s [%d/%d]\n", name, n, t > "/dev/stderr"; fflush("/dev/stderr"); last = n
        }
      }'; then
    fail "$name"
  fi
}

sudo_() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Adds deb-src entries for the suites that have none, from the same mirror
# as their binary packages.
add_deb_src() {
  local targets suite uri entries="" list=/etc/apt/sources.list.d/tavelo-deb-src.sources
  # Whatever apt's sources are written in (one-line or deb822), it lists them.
  targets="$(apt-get indextargets --no-release-info --format '$(CREATED_BY) $(RELEASE) $(REPO_URI)')"
  for suite in bookworm bookworm-security; do
    if ! awk -v r="$suite" '$1 == "Sources" && $2 == r { found = 1 } END { exit !found }' <<<"$targets"; then
      uri="$(awk -v r="$suite" '$1 == "Packages" && $2 == r { print $3; exit }' <<<"$targets")"
      if [ -z "$uri" ]; then
        case "$suite" in
          *-security) uri=http://deb.debian.org/debian-security/ ;;
          *) uri=http://deb.debian.org/debian/ ;;
        esac
      fi
      entries+="Types: deb-src"$'\n'"URIs: $uri"$'\n'"Suites: $suite"$'\n'"Components: main"$'\n'
      if [ -f /usr/share/keyrings/debian-archive-keyring.gpg ]; then
        entries+="Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"$'\n'
      fi
      entries+=$'\n'
    fi
  done
  [ -n "$entries" ] || return 0
  echo "adding to $list:"
  printf '%s' "$entries" | sudo_ tee -a "$list"
  added=1
}

fetch_sources() {
  local added=0 listed
  add_deb_src
  listed="$(apt-cache showsrc qt6-base libjpeg-turbo 2>/dev/null || true)"
  if ((added)) || ! grep -qx "Version: $QT_VERSION" <<<"$listed" || ! grep -qx "Version: $JPEG_VERSION" <<<"$listed"; then
    sudo_ apt-get update
  fi
  cd "$WORK/src"
  find . -mindepth 1 -delete
  apt-get source --only-source "qt6-base=$QT_VERSION" "libjpeg-turbo=$JPEG_VERSION"
  touch .complete
}
if [ ! -f "$WORK/src/.complete" ]; then
  step fetch-sources fetch_sources
fi
QT_SRC="$(find "$WORK/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)"
JPEG_SRC="$(find "$WORK/src" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)"
[ -n "$QT_SRC" ] && [ -n "$JPEG_SRC" ] || {
  step_log="$LOGS/fetch-sources.log"
  fail "fetch-sources (unpacked source folders not found in $WORK/src)"
}

step jpeg-configure cmake -S "$JPEG_SRC" -B "$WORK/build-jpeg" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" -DENABLE_SHARED=ON -DENABLE_STATIC=OFF \
  -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
build jpeg-build "$WORK/build-jpeg"
# Installed with the final prefix into a staging root, then moved in one rename.
step jpeg-install env DESTDIR="$STAGE" cmake --install "$WORK/build-jpeg"

# Only what Tavelo uses; zlib, PCRE2, HarfBuzz, libpng and FreeType are Qt's
# own copies (FreeType only because the offscreen plugin draws text with it on
# Windows; the windows plugin uses the system's fonts).
# Debian's source lacks the wintab header (no tablet events), and the windows
# plugin needs DirectWrite off whenever Direct2D is.
QT_OPTIONS=(
  -prefix "$PREFIX" -release -shared
  -xplatform win32-g++ -device-option CROSS_COMPILE="$MINGW-"
  -qt-host-path /usr
  -nomake examples -nomake tests
  -no-opengl -no-dbus -no-icu -no-zstd -no-fontconfig -no-vulkan
  -qt-zlib -qt-pcre -qt-harfbuzz -qt-libpng -qt-freetype -no-libjpeg
  -no-feature-sql -no-feature-network -no-feature-testlib -no-feature-printsupport
  -no-feature-concurrent -no-feature-xml
  -no-feature-tabletevent -no-feature-direct2d -no-feature-directwrite3
  --
  -G Ninja
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE"
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)
mkdir -p "$WORK/build-qt"
step qt-configure bash -c 'cd "$1" && shift && "$@"' _ "$WORK/build-qt" "$QT_SRC/configure" "${QT_OPTIONS[@]}"
build qt-build "$WORK/build-qt"
step qt-install env DESTDIR="$STAGE" cmake --install "$WORK/build-qt"

finish_prefix() {
  local root="$STAGE$PREFIX" dll
  for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$("$CXX" -print-file-name="$dll")" "$root/bin/"
  done
  # libjpeg-turbo's command-line tools and documents are not needed.
  rm -f "$root"/bin/{cjpeg,djpeg,jpegtran,rdjpgcom,wrjpgcom}.exe
  rm -rf "$root/share/doc" "$root/share/man"
  for dll in Qt6Core Qt6Gui Qt6Widgets libjpeg-62; do
    [ -f "$root/bin/$dll.dll" ] || { echo "missing bin/$dll.dll" && exit 1; }
  done
  for dll in platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle; do
    [ -f "$root/plugins/$dll.dll" ] || { echo "missing plugins/$dll.dll" && exit 1; }
  done
  echo "$KEY_TEXT" >"$root/$MARK"
}
step finish finish_prefix

rm -rf "$PREFIX"
mv "$STAGE$PREFIX" "$PREFIX"
rm -rf "$WORK"
say "built in $(((SECONDS - START) / 60)) min $(((SECONDS - START) % 60)) s: $(du -sh "$PREFIX" | cut -f1)"

[ "$mode" = check ] && check
echo "$PREFIX"
