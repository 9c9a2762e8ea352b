#!/usr/bin/env bash
# Copies the two faces the window names that the program cannot carry inside
# itself (Z003 for Monotype Corsiva, whose licence allows no embedding in a
# program, and Liberation Sans Bold) from this machine's fonts into a kit's
# fonts folder, unmodified.
#
# Usage: copy-faces.sh FOLDER TOOL   (TOOL names the caller in messages)
set -euo pipefail
dest=$1 tool=$2
for face in 'Z003:style=Medium Italic' 'Liberation Sans:style=Bold'; do
    file=$(fc-match -f '%{file}' "$face")
    case "$(fc-match -f '%{family}' "$face")" in
        "${face%%:*}"*) install -m 644 "$file" "$dest/" ;;
        *) echo "$tool: the face ${face%%:*} is not installed" >&2; exit 1 ;;
    esac
done
