#!/bin/sh
# A stand-in application for launch tests, shared by the unit tests' private
# desktop and the whole-program tests.
#
#   sh recorder.sh FOLDER [ARG...]
#
# Records one start in FOLDER: the working folder (physical path), then each
# ARG exactly as received, each ended by NUL. The file is named
# <nanoseconds>.<pid>, so names sort by time and tell the process, and is
# renamed into place, so a reader never sees half of it. While FOLDER/.linger
# exists, the recorder stays alive for 3 s after recording.
dir=$1
shift
t="$dir/.$$"
{ printf '%s\0' "$(pwd -P)"; for a in "$@"; do printf '%s\0' "$a"; done; } > "$t"
mv "$t" "$dir/$(date +%s%N).$$"
if [ -e "$dir/.linger" ]; then sleep 3; fi
