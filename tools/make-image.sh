#!/bin/sh
# Builds a disc image from a disc folder and the disc kit: a thin wrapper
# around the author's tool, which checks the disc first and refuses one with
# errors (see `tavelo-disc image`).
#
# Usage: tools/make-image.sh DISC_DIR OUT.iso [--label NAME] [--kit KITDIR] [--force]
#   --kit    the kit made by tools/make-kit.sh and tools/make-kit-windows.sh
#            (default build/kit, made first, for both systems, when it does
#            not exist)
# The tool is built in the kit's build folder (build-kit/, Release) when it
# is missing or stale.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVELO_KIT_BUILD:-$here/build-kit}
usage() { echo "usage: $0 DISC_DIR OUT.iso [--label NAME] [--kit KITDIR] [--force]" >&2; exit 2; }

[ $# -ge 2 ] || usage
disc=$1 out=$2
shift 2
kit=$here/build/kit
set -- "$@" END
while [ "$1" != END ]; do
    case $1 in
        --kit) [ "$2" != END ] || usage; kit=$2; shift 2 ;;
        --label) [ "$2" != END ] || usage; set -- "$@" "$1" "$2"; shift 2 ;;
        --force) set -- "$@" "$1"; shift ;;
        *) usage ;;
    esac
done
shift

# The default kit is made when it is missing, so one command turns a disc
# folder into an image.
if [ "$kit" = "$here/build/kit" ] && [ ! -e "$kit" ]; then
    bash "$here/tools/make-kit.sh" "$kit" >/dev/null
    bash "$here/tools/make-kit-windows.sh" "$kit" >/dev/null
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVELO_TESTS=OFF -DTAVELO_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target tavelo-disc >/dev/null
exec "$build/tavelo-disc" image "$disc" -o "$out" --kit "$kit" "$@"
