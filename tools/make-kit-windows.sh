#!/usr/bin/env bash
# Adds the Windows program to a disc kit: what a disc's top folder needs so
# that AutoPlay and a double-click in Explorer start the menu on 64-bit
# Windows. Run it after tools/make-kit.sh on the same folder, and the kit
# starts the menu on both systems from one disc.
#
#   autorun.inf               AutoPlay: open=tavelo.exe, the icon, the action text
#   tavelo.exe                starts tavelo\windows\bin\tavelo.exe with the disc's
#                             top folder as the current folder (Win32 only)
#   tavelo/windows/bin/       the program, Qt's and the compiler's DLLs, qt.conf
#   tavelo/windows/plugins/   the Windows platform plugin and the Vista style
#   tavelo/windows/fonts/     the faces the window names that Windows may lack
#   tavelo/licenses/          the copyright files of what is bundled
#
# The DLLs sit beside the program in a folder of its own, so the disc's top
# folder holds two Windows files. Qt is linked as shared DLLs (LGPL: a
# listener may swap them for their own build of the same Qt).
#
# Usage: tools/make-kit-windows.sh [OUTDIR]   (default build/kit)
# Builds the toolchain (cached) and the program (Release, in build-win-kit/).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/kit}
build=${TAVELO_WIN_KIT_BUILD:-$root/build-win-kit}
here=$root/tools/kit/windows
mingw=x86_64-w64-mingw32

for tool in cmake "$mingw-gcc-posix" "$mingw-windres" "$mingw-strip" fc-match dpkg-query; do
    command -v "$tool" >/dev/null 2>&1 || { echo "make-kit-windows: $tool is missing (tools/install-deps.sh --windows installs it)" >&2; exit 1; }
done
# Never write into a folder that is neither empty nor a kit.
if [ -e "$out" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ] && [ ! -d "$out/tavelo" ]; then
    echo "make-kit-windows: $out is not empty and holds no kit; not writing into it" >&2
    exit 1
fi

prefix=$(bash "$root/tools/windows/toolchain.sh" | tail -n1)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_TESTS=OFF -DTAVELO_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/mingw-w64.cmake" -DTAVELO_WIN_PREFIX="$prefix" >/dev/null
cmake --build "$build" -j2 --target tavelo >/dev/null

win=$out/tavelo/windows
rm -rf "$win" "$out/autorun.inf" "$out/tavelo.exe"
mkdir -p "$win/bin" "$win/plugins/platforms" "$win/plugins/styles" "$win/fonts" "$out/tavelo/licenses"

# ---------------------------------------------------------------- program

install -m 755 "$build/tavelo.exe" "$win/bin/tavelo.exe"
for dll in Qt6Core Qt6Gui Qt6Widgets libjpeg-62 libstdc++-6 libgcc_s_seh-1 libwinpthread-1; do
    install -m 644 "$prefix/bin/$dll.dll" "$win/bin/"
done
install -m 644 "$prefix/plugins/platforms/qwindows.dll" "$win/plugins/platforms/"
install -m 644 "$prefix/plugins/styles/qwindowsvistastyle.dll" "$win/plugins/styles/"
"$mingw-strip" --strip-unneeded "$win/bin/"*.exe "$win/bin/"*.dll "$win/plugins/"*/*.dll
# Plugins are looked up in the kit only, as on Linux.
printf '[Paths]\r\nPrefix = ..\r\nPlugins = plugins\r\n' > "$win/bin/qt.conf"

# The starter at the top, with the disc's icon.
"$mingw-windres" -I "$root/app/icons" "$here/starter.rc" -O coff -o "$build/starter.res"
"$mingw-gcc-posix" -municode -mwindows -O2 -Wall -Wextra -static -s -o "$out/tavelo.exe" \
    "$here/starter.c" "$build/starter.res"
chmod 755 "$out/tavelo.exe"
# CR LF: the file Windows reads.
sed 's/$/\r/' "$here/autorun.inf" > "$out/autorun.inf"

# ---------------------------------------------------------------- fonts

# The caption face and Liberation Sans Regular are inside the program; these
# two the window names besides (Monotype Corsiva comes with office suites,
# not with Windows), registered for the program alone.
bash "$root/tools/kit/copy-faces.sh" "$win/fonts" make-kit-windows

# ---------------------------------------------------------------- licenses

# One file per Debian source package, as in the Linux kit.
for pkg in libqt6core6 libjpeg62-turbo gcc-mingw-w64-base mingw-w64-common fonts-urw-base35 fonts-liberation2; do
    doc=/usr/share/doc/$pkg/copyright
    [ -f "$doc" ] || { echo "make-kit-windows: no copyright file for $pkg ($doc)" >&2; exit 1; }
    cp "$doc" "$out/tavelo/licenses/$(dpkg-query -W -f='${source:Package}' "$pkg")"
done
cp "$root/app/fonts/README.md" "$out/tavelo/licenses/fonts-inside-the-program.md"

# ---------------------------------------------------------------- report

{
    echo "windows: $(du -sh "$win" | cut -f1) in tavelo/windows, $(stat -c %s "$out/tavelo.exe") bytes of starter"
    echo "largest:"
    find "$win" -type f -printf '%s %P\n' | sort -rn | head -n 5 | awk '{ printf "  %6.1f MB %s\n", $1 / 1e6, $2 }'
} | tee "$build/kit-report.txt"
echo "kit: $out"
