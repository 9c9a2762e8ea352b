#!/bin/sh
# Builds a disc image (ISO 9660 with Rock Ridge and Joliet) from a disc folder
# and the disc kit, both laid at the image's top folder.
#
# Usage: tools/make-image.sh DISC_DIR OUT.iso [--label NAME] [--kit KITDIR]
#   --label  the volume name a desktop shows for the disc (default TAVELO;
#            at most 32 characters)
#   --kit    the kit made by tools/make-kit.sh (default build/kit, made
#            first when it does not exist)
#
# The xorriso call, for tools that build the same image:
#   xorriso -as mkisofs -r -J -joliet-long -V LABEL -o OUT.iso DISC_DIR KITDIR
# -r writes Rock Ridge with the files' modes normalised (everything readable,
# exec bits kept where the file has one, owner root), so autorun.sh and the
# program stay executable; -J with -joliet-long adds Joliet names up to 103
# characters for systems that read only Joliet. Two source folders are merged
# at the image's root; a name in both is an error.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: $0 DISC_DIR OUT.iso [--label NAME] [--kit KITDIR]" >&2; exit 2; }

[ $# -ge 2 ] || usage
disc=$1 out=$2
shift 2
label=TAVELO kit=$here/build/kit
while [ $# -gt 0 ]; do
    case $1 in
        --label) [ $# -ge 2 ] || usage; label=$2; shift 2 ;;
        --kit) [ $# -ge 2 ] || usage; kit=$2; shift 2 ;;
        *) usage ;;
    esac
done

command -v xorriso >/dev/null 2>&1 || { echo "make-image: xorriso is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
[ -d "$disc" ] || { echo "make-image: $disc is not a folder" >&2; exit 1; }
# The default kit is made when it is missing, so one command turns a disc
# folder into an image.
if [ "$kit" = "$here/build/kit" ] && [ ! -e "$kit" ]; then
    bash "$here/tools/make-kit.sh" "$kit" >/dev/null
fi
[ -x "$kit/tavelo/bin/tavelo" ] && [ -f "$kit/autorun.sh" ] ||
    { echo "make-image: $kit holds no kit; make it with tools/make-kit.sh" >&2; exit 1; }
[ -n "$label" ] && [ "${#label}" -le 32 ] || { echo "make-image: the label must have 1 to 32 characters" >&2; exit 1; }

# The kit's names must not hide the disc's own.
for path in "$kit"/* "$kit"/.[!.]*; do
    [ -e "$path" ] || continue
    name=${path##*/}
    [ ! -e "$disc/$name" ] || { echo "make-image: $disc already has $name, which the kit brings" >&2; exit 1; }
done

rm -f "$out"
xorriso -as mkisofs -r -J -joliet-long -V "$label" -o "$out" "$disc" "$kit" 2>"$out.log" || {
    cat "$out.log" >&2; rm -f "$out" "$out.log"; exit 1; }
rm -f "$out.log"
echo "image: $out ($(du -h "$out" | cut -f1))"
