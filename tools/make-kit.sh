#!/usr/bin/env bash
# Builds the disc kit: the folder an author merges into a disc's top folder so
# that a listener without Qt can start Tavelo from the disc.
#
#   autorun.sh        started by the desktop (or by `sh autorun.sh`) in the disc's top folder
#   tavelo.desktop    the same for a double-click in a file manager
#   tavelo.png        the program's icon
#   tavelo/bin/       the program and qt.conf (plugins are looked up in the kit only)
#   tavelo/lib/       every library the program and the xcb plugin need, less host-libs.txt
#   tavelo/plugins/   the X11 platform plugin
#   tavelo/fonts/     the faces the window names that a desktop may not have
#   tavelo/licenses/  the copyright files of what is bundled
#
# The libraries are the real dependencies of the built program and plugin,
# followed library by library. Every bundled object carries a DT_RPATH
# ($ORIGIN-relative): the loader searches it before LD_LIBRARY_PATH, so a Qt
# elsewhere on the system cannot take the kit's place, and nothing has to be
# put in the environment the players inherit.
#
# Usage: tools/make-kit.sh [OUTDIR]   (default build/kit)
# Builds the program first in build-kit/ (Release) when it is missing or stale.
# Needs: cmake, ninja, patchelf, objdump, qtpaths6, fc-match.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/kit}
build=${TAVELO_KIT_BUILD:-$root/build-kit}
here=$root/tools/kit

for tool in cmake patchelf objdump strip qtpaths6 fc-match ldd dpkg-query; do
    command -v "$tool" >/dev/null 2>&1 || { echo "make-kit: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

# Never wipe a folder that is not an earlier kit (a mistyped argument).
if [ -e "$out" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ] && [ ! -f "$out/tavelo/bin/tavelo" ]; then
    echo "make-kit: $out is not empty and holds no kit; not replacing it" >&2
    exit 1
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_TESTS=OFF -DTAVELO_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target tavelo >/dev/null

plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS)
xcb=$plugins/platforms/libqxcb.so
[ -f "$xcb" ] || { echo "make-kit: no xcb platform plugin at $xcb" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out/tavelo/bin" "$out/tavelo/lib" "$out/tavelo/plugins/platforms" "$out/tavelo/fonts" "$out/tavelo/licenses"
kit=$out/tavelo

install -m 755 "$build/tavelo" "$kit/bin/tavelo"
install -m 644 "$xcb" "$kit/plugins/platforms/libqxcb.so"
strip --strip-unneeded "$kit/bin/tavelo" "$kit/plugins/platforms/libqxcb.so"

# ---------------------------------------------------------------- libraries

declare -A host where bundled
while read -r name; do
    host[$name]=1
done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$here/host-libs.txt" | grep -v '^$')

# Where the build machine's loader finds each library the two roots reach.
while read -r name arrow path _; do
    [ "$arrow" = "=>" ] || continue
    [ "$path" != "not" ] || { echo "make-kit: $name is not found on this machine" >&2; exit 1; }
    where[$name]=$path
done < <(ldd "$kit/bin/tavelo"; ldd "$kit/plugins/platforms/libqxcb.so")

needed() { objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'; }

queue=("$kit/bin/tavelo" "$kit/plugins/platforms/libqxcb.so")
declare -A uses_host
while ((${#queue[@]})); do
    obj=${queue[0]}
    queue=("${queue[@]:1}")
    for name in $(needed "$obj"); do
        if [ -n "${host[$name]:-}" ]; then
            uses_host[$name]=1
            continue
        fi
        [ -z "${bundled[$name]:-}" ] || continue
        src=${where[$name]:-}
        [ -n "$src" ] || { echo "make-kit: cannot locate $name (needed by $obj)" >&2; exit 1; }
        bundled[$name]=$src
        install -m 644 "$src" "$kit/lib/$name"
        queue+=("$kit/lib/$name")
    done
done

# DT_RPATH, not DT_RUNPATH: RUNPATH comes after LD_LIBRARY_PATH and serves
# only an object's own direct needs; RPATH comes first and also serves what
# the object's libraries need.
patchelf --force-rpath --set-rpath '$ORIGIN/../lib' "$kit/bin/tavelo"
patchelf --force-rpath --set-rpath '$ORIGIN/../../lib' "$kit/plugins/platforms/libqxcb.so"
for name in "${!bundled[@]}"; do
    patchelf --force-rpath --set-rpath '$ORIGIN' "$kit/lib/$name"
done

# Plugins and everything else Qt looks up are found from the program's folder.
printf '[Paths]\nPrefix = ..\nPlugins = plugins\n' > "$kit/bin/qt.conf"

# ---------------------------------------------------------------- fonts

# The caption face and Liberation Sans Regular are built into the program;
# these are the faces the window still takes from the host (its frame and menu
# title, bold text in the text views).
bash "$root/tools/kit/copy-faces.sh" "$kit/fonts" make-kit

# ---------------------------------------------------------------- licenses

copyright() {
    local pkg real
    real=$(readlink -f "$1")
    # Merged /usr: the package may have registered the file under /lib.
    pkg=$(dpkg-query -S "$real" "${real#/usr}" 2>/dev/null | head -n 1 | cut -d: -f1) || true
    [ -n "$pkg" ] && [ -f "/usr/share/doc/$pkg/copyright" ] || return 0
    # One file per source package: Qt's four libraries share one text.
    cp "/usr/share/doc/$pkg/copyright" "$kit/licenses/$(dpkg-query -W -f='${source:Package}' "$pkg")"

}
for name in "${!bundled[@]}"; do copyright "${bundled[$name]}"; done
copyright "$xcb"
for f in "$kit/fonts/"*; do copyright "$(fc-match -f '%{file}' "$(fc-query -f '%{family[0]}:style=%{style[0]}' "$f")")"; done
# The faces compiled into the program travel with their record and licence.
cp "$root/app/fonts/README.md" "$kit/licenses/fonts-inside-the-program.md"

# The oldest C library that can load the kit: the newest symbol version any
# of its objects asks for.
floor() {
    find "$kit" -type f \( -name '*.so*' -o -path '*/bin/tavelo' \) -exec objdump -T {} + 2>/dev/null |
        grep -o "$1"'_[0-9][0-9.]*' | sort -u -t_ -k2,2V | tail -n 1
}

# ---------------------------------------------------------------- top folder

# autorun.sh names what a too old system lacks: the newest C library symbol
# version the kit asks for, and the GCC release whose C++ runtime it needs.
glibc=$(floor GLIBC)
glibcxx=$(floor GLIBCXX)
case ${glibcxx#GLIBCXX_} in
    3.4.29) gcc=11 ;; 3.4.30) gcc=12 ;; 3.4.31) gcc=13 ;; 3.4.32) gcc=14 ;; 3.4.33) gcc=15 ;;
    *) echo "make-kit: no GCC release known for $glibcxx" >&2; exit 1 ;;
esac
sed -e "s/@GLIBC@/${glibc#GLIBC_}/" -e "s/@GLIBCXX@/$gcc/" "$here/autorun.sh" > "$out/autorun.sh"
chmod 755 "$out/autorun.sh"
install -m 755 "$here/tavelo.desktop" "$out/tavelo.desktop"
install -m 644 "$root/app/icons/program32.png" "$out/tavelo.png"

# ---------------------------------------------------------------- report

{
    echo "bundled (${#bundled[@]}): $(printf '%s\n' "${!bundled[@]}" | sort | tr '\n' ' ')"
    echo "from the system: $(printf '%s\n' "${!uses_host[@]}" | sort | tr '\n' ' ')"
    echo "needs: $(floor GLIBC), $(floor GLIBCXX), $(floor CXXABI)"
    echo "size: $(du -sh "$out" | cut -f1)"
    echo "largest:"
    find "$out" -type f -printf '%s %P\n' | sort -rn | head -n 6 | awk '{ printf "  %6.1f MB %s\n", $1 / 1e6, $2 }'
} | tee "$build/kit-report.txt"
echo "kit: $out"
