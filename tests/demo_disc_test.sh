#!/bin/sh
# Checks that the demo disc holds everything the menu looks for, so that every section of the
# program has something to show when started on it.
# Usage: tests/demo_disc_test.sh [disc folder]   (default: demo-disc/ of this repository)
set -u

here=$(cd "$(dirname "$0")/.." && pwd)
disc=${1:-$here/demo-disc}
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need_file() { [ -f "$disc/$1" ] || fail "missing file $1"; }
is_jpeg() { file -b "$1" | grep -q '^JPEG image data'; }

# First entry of a folder in listing order (names compared case-blind), without hidden ones.
first_entry() { ls -A "$1" | grep -v '^\.' | LC_ALL=C sort -f | head -n 1; }

[ -d "$disc" ] || { echo "FAIL: no disc folder $disc" >&2; exit 1; }

for d in picture sound text "about group" "about disk" help player; do
    [ -d "$disc/$d" ] || fail "missing folder $d"
done
need_file "about group/about.txt"
need_file "about disk/about.txt"
need_file "help/help.txt"
need_file "player/player.exe"
need_file "player/playersetup.exe"

# Slides: only JPEG files, enough of them, with the kinds a decoder must cope with.
slides=0 portrait=0 grey=0 progressive=0
sizes=""
for f in "$disc"/picture/*; do
    [ -e "$f" ] || continue
    name=${f##*/}
    if [ -d "$f" ]; then fail "picture/$name is a folder, not a slide"; continue; fi
    case $name in *.jpg) ;; *) fail "picture/$name is not named .jpg" ;; esac
    if ! is_jpeg "$f"; then fail "picture/$name is not a JPEG"; continue; fi
    slides=$((slides + 1))
    info=$(file -b "$f")
    size=$(echo "$info" | sed -n 's/.*, \([0-9]*x[0-9]*\), components.*/\1/p')
    w=${size%x*} h=${size#*x}
    [ -n "$size" ] && [ "$h" -gt "$w" ] && portrait=1
    echo "$info" | grep -q 'components 1' && grey=1
    echo "$info" | grep -q 'progressive' && progressive=1
    case " $sizes " in *" $size "*) ;; *) sizes="$sizes $size" ;; esac
done
[ "$slides" -ge 5 ] || fail "only $slides slides, want 5 or more"
[ "$portrait" -eq 1 ] || fail "no portrait slide"
[ "$grey" -eq 1 ] || fail "no one-component (greyscale) slide"
[ "$progressive" -eq 1 ] || fail "no progressive slide"
[ "$(echo $sizes | wc -w)" -ge 3 ] || fail "slides do not vary in size:$sizes"

# The page pictures are taken from position 1 of their folders.
for d in "about group" player; do
    [ -d "$disc/$d" ] || continue
    first=$(first_entry "$disc/$d")
    case $first in
        *.jpg) is_jpeg "$disc/$d/$first" || fail "$d/$first is not a JPEG" ;;
        *) fail "first entry of $d is \"$first\", not a .jpg picture" ;;
    esac
done

for f in player.exe playersetup.exe; do
    [ -x "$disc/player/$f" ] || fail "player/$f is not executable"
done

# Albums: folders only, each with real MP3 songs and one lyrics file per song.
albums=0
for a in "$disc"/sound/*; do
    [ -e "$a" ] || continue
    album=${a##*/}
    if [ ! -d "$a" ]; then fail "sound/$album is not an album folder"; continue; fi
    albums=$((albums + 1))
    songs=0
    for s in "$a"/*; do
        [ -e "$s" ] || continue
        song=${s##*/}
        case $song in
            *.mp3) ;;
            *) fail "sound/$album/$song is not named .mp3"; continue ;;
        esac
        file -b "$s" | grep -q 'MPEG ADTS, layer III' || fail "sound/$album/$song is not an MP3"
        [ -f "$disc/text/$album/${song%.mp3}.txt" ] || fail "no lyrics text/$album/${song%.mp3}.txt"
        songs=$((songs + 1))
    done
    [ "$songs" -ge 2 ] || fail "album $album has $songs songs, want 2 or more"
done
[ "$albums" -ge 2 ] || fail "only $albums albums, want 2 or more"

# Lyrics folders belong to albums; each lyrics file belongs to a song.
for t in "$disc"/text/*; do
    [ -e "$t" ] || continue
    album=${t##*/}
    [ -d "$disc/sound/$album" ] || fail "text/$album has no album folder in sound/"
    for l in "$t"/*.txt; do
        [ -e "$l" ] || continue
        song=${l##*/}
        [ -f "$disc/sound/$album/${song%.txt}.mp3" ] || fail "text/$album/$song has no song"
    done
done

# The text views must meet every kind of file: RTF, Windows-1251 and UTF-8 plain text.
rtf=0 cp1251=0 utf8=0
for l in "$disc"/text/*/*.txt "$disc"/*/about.txt "$disc"/help/help.txt; do
    [ -f "$l" ] || continue
    if head -c 5 "$l" | grep -q '^{\\rtf'; then
        rtf=1
    elif ! iconv -f UTF-8 -t UTF-8 "$l" >/dev/null 2>&1; then
        # Cyrillic letters of Windows-1251 are the bytes 0xC0-0xFF.
        LC_ALL=C grep -q "$(printf '[\300-\377]')" "$l" && cp1251=1
    elif LC_ALL=C grep -q '[^ -~[:space:]]' "$l"; then
        utf8=1
    fi
done
[ "$rtf" -eq 1 ] || fail "no RTF text"
[ "$cp1251" -eq 1 ] || fail "no Windows-1251 plain text"
[ "$utf8" -eq 1 ] || fail "no UTF-8 plain text with non-ASCII letters"

hidden=$(find "$disc" -mindepth 1 -name '.*' | head -n 1)
[ -z "$hidden" ] || fail "hidden entry $hidden would be left out of listings"

total=$(du -sk "$disc" | cut -f1)
[ "$total" -lt 2048 ] || fail "disc is ${total} KB, want under 2 MB"

if [ "$failures" -eq 0 ]; then
    echo "demo disc complete: $slides slides, $albums albums, ${total} KB"
    exit 0
fi
echo "$failures problem(s) in $disc" >&2
exit 1
