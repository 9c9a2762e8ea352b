#!/bin/sh
# Rebuilds demo-disc/, the sample disc Tavelo is started on by the README commands and the
# whole-program tests. Every file of the disc comes from this recipe: the texts are written
# below, the pictures are drawn with ImageMagick, the songs are short generated tunes encoded
# with lame. Running it again gives the same bytes (no dates or random data go in).
#
# The band, its songs and its words are made up for this disc.
#
# About player/: a real disc ships a Windows media player there (player.exe and its
# installer playersetup.exe) for the menu's "Установить" and "Запустить" buttons. On Linux
# they stand for that player: two tiny executable shell scripts that only print a line, so
# the buttons have something real to start and nothing gets installed.
#
# Needs: ImageMagick (convert), lame, python3, iconv.
# Usage: tools/make-demo-disc.sh [target folder]   (default: demo-disc/ of this repository)
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
disc=${1:-$here/demo-disc}

for tool in convert lame python3 iconv; do
    command -v "$tool" >/dev/null 2>&1 || { echo "make-demo-disc: $tool is missing" >&2; exit 1; }
done

font=DejaVu-Sans-Bold
serif=DejaVu-Serif-Bold-Italic
for f in "$font" "$serif"; do
    convert -list font | grep -q "Font: $f\$" || { echo "make-demo-disc: font $f is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Start from nothing so renamed or dropped files do not linger, but never wipe a folder
# that is not a disc (a mistyped argument).
if [ -d "$disc" ] && [ ! -d "$disc/picture" ] && [ -n "$(ls -A "$disc")" ]; then
    echo "make-demo-disc: $disc is not empty and holds no disc; not replacing it" >&2
    exit 1
fi
rm -rf "$disc"
album1="2019 Первый альбом"
album2="2022 Second Album"
mkdir -p "$disc/picture" "$disc/about group" "$disc/about disk" "$disc/help" "$disc/player" \
         "$disc/sound/$album1" "$disc/sound/$album2" "$disc/text/$album1" "$disc/text/$album2"

# ---------------------------------------------------------------- texts

# UTF-8 in, LF line ends, written as is.
utf8() { cat > "$1"; }
# UTF-8 in, Windows-1251 with CR LF out: a text as an old Windows editor would save it.
cp1251() { sed 's/$/\r/' | iconv -f UTF-8 -t CP1251 > "$1"; }
# RTF source in UTF-8 in; every non-ASCII letter becomes a \'hh escape of its Windows-1251
# byte, so the file itself is pure ASCII as RTF wants it.
cat > "$work/rtf.py" <<'PY'
import sys
out = []
for ch in sys.stdin.read():
    if ord(ch) < 128:
        out.append(ch)
    else:
        out.extend("\\'%02x" % b for b in ch.encode("cp1251"))
sys.stdout.write("".join(out).replace("\n", "\r\n"))
PY
rtf() { python3 "$work/rtf.py" > "$1"; }

utf8 "$disc/about group/about.txt" <<'EOF'
Ламповый Маяк

Группа из маленького приморского города.
Собрались в 2017 году в старом клубе
у порта, где по вечерам гаснет свет.

Анна Ветрова - голос, гитара
Илья Сомов - бас
Марк Лебедев - клавишные
Тимур Галиев - барабаны

Играем тёплый гитарный поп
о дорогах, море и зимних городах.
EOF

rtf "$disc/about disk/about.txt" <<'EOF'
{\rtf1\ansi\ansicpg1251\deff0
{\fonttbl{\f0\fswiss\fcharset204 Arial;}{\f1\froman\fcharset204 Times New Roman;}}
{\colortbl;\red0\green0\blue128;\red178\green34\blue34;\red0\green100\blue0;}
\pard\qc\f0\fs32\b\cf1 Ламповый Маяк\b0\par
\pard\qc\fs24\cf2 Демонстрационный диск\par
\pard\qc\cf0\fs20\par
\pard\qc\f1\fs22 На диске два альбома группы:\par
\pard\qc\i «Первый альбом» (2019)\i0\par
\pard\qc\i «Second Album» (2022)\i0\par
\pard\qc\par
\pard\qc Фотографии, тексты всех песен,\par
\pard\qc рассказ о группе и проигрыватель.\par
\pard\qc\par
\pard\qc\cf3\b Запись: студия «Причал», 2022\b0\cf0\par
}
EOF

utf8 "$disc/help/help.txt" <<'EOF'
Как пользоваться меню

Кнопки слева открывают разделы диска.

«Слайды» - фотографии группы.
Кнопки <--- и ---> листают снимки,
«Автопоказ» меняет их сам
каждые четыре секунды.
Второе нажатие останавливает показ.

«Тексты песен» - слова песен.

«О Группе» - фото и рассказ о группе.

«О Диске» - что записано на диске.

«Player» - проигрыватель с диска.
«Установить» ставит его на компьютер,
«Запустить» открывает его сразу.

«Помощь» - эта страница.

«Выход» - закрыть меню.

Каталог справа - альбомы и песни.
Щёлкните по песне: её слова
появятся в середине окна,
а сама песня зазвучит
в вашем проигрывателе.
EOF

# Lyrics: a mix of Windows-1251, UTF-8 and RTF files.
cp1251 "$disc/text/$album1/01 Маяк.txt" <<'EOF'
Маяк

Над водой горит окно,
Чайки спят на проводах,
Мне давно уже темно,
Только свет горит в глазах.

Припев:
Маяк, маяк, не гасни,
Пока я в пути,
Маяк, маяк, ты ясно
Мне скажи, куда идти.

Волны пишут на песке
Письма, что не прочитать,
Я держу твой свет в руке
И учусь его держать.
EOF

utf8 "$disc/text/$album1/02 Дорога домой.txt" <<'EOF'
Дорога домой

Фонари считают шаги,
Ветер гонит листву во двор,
Мы с тобой ещё не враги,
Но молчим уже с давних пор.

Припев:
Дорога домой длиннее,
Чем дорога из дома прочь,
Но с каждым шагом светлее
Становится эта ночь.
EOF

rtf "$disc/text/$album1/03 Зимний трамвай.txt" <<'EOF'
{\rtf1\ansi\ansicpg1251\deff0
{\fonttbl{\f0\froman\fcharset204 Times New Roman;}}
{\colortbl;\red0\green0\blue160;\red120\green0\blue0;}
\pard\qc\f0\fs28\b\cf1 Зимний трамвай\b0\cf0\par
\pard\qc\fs22\par
\pard\qc Снег на рельсах, поздний час,\par
\pard\qc Звон трамвая за углом,\par
\pard\qc Он везёт последних нас\par
\pard\qc Через город подо льдом.\par
\pard\qc\par
\pard\qc\i\cf2 Зимний трамвай, увези меня\par
\pard\qc Туда, где лето и нет огня\par
\pard\qc Пустых витрин и пустых квартир,\par
\pard\qc Где тёплый, тёплый, тёплый мир.\i0\cf0\par
}
EOF

utf8 "$disc/text/$album2/01 Paper Boats.txt" <<'EOF'
Paper Boats

We folded boats from yesterday's news,
We sent them down the gutter stream,
You said the sea is always blue,
I said the sea is just a dream.

Chorus:
Paper boats, paper boats,
Carry all the words we wrote,
Down the street and round the bend,
Paper boats will find the end.
EOF

rtf "$disc/text/$album2/02 Night Train.txt" <<'EOF'
{\rtf1\ansi\ansicpg1252\deff0
{\fonttbl{\f0\fswiss Arial;}}
{\colortbl;\red25\green25\blue112;\red139\green0\blue0;}
\pard\qc\f0\fs28\b\cf1 Night Train\b0\cf0\par
\pard\qc\fs22\par
\pard\qc The station lights are turning gold,\par
\pard\qc The timetable forgot my name,\par
\pard\qc I bought a ticket, one way, cold,\par
\pard\qc And no two stations look the same.\par
\pard\qc\par
\pard\qc\b\cf2 Night train, night train,\par
\pard\qc Take me out into the rain,\par
\pard\qc Night train, night train,\par
\pard\qc Bring me home again.\b0\cf0\par
}
EOF

# ---------------------------------------------------------------- pictures

jpeg() { convert "$@" -strip -quality 80 "$work/out.jpg" && mv "$work/out.jpg" "$pic"; }

# 1: landscape 640x480, a sunrise over the sea.
pic="$disc/picture/01 Рассвет.jpg"
jpeg -size 640x480 gradient:'#ffcc66'-'#1e3c78' \
    -fill '#ffe14d' -draw 'circle 320,300 320,220' \
    -fill '#1b4f8a' -draw 'rectangle 0,300 640,480' \
    -fill '#6fa8dc' -draw 'rectangle 180,330 460,336' -draw 'rectangle 220,360 420,365' \
    -font "$font" -pointsize 160 -fill white -stroke '#203050' -strokewidth 4 \
    -gravity NorthWest -annotate +30+10 '1'

# 2: portrait 480x640, a lighthouse at night.
pic="$disc/picture/02 Маяк.jpg"
jpeg -size 480x640 gradient:'#0b1030'-'#3a4a80' \
    -fill '#2c2c2c' -draw 'polygon 0,640 0,560 180,520 300,540 480,580 480,640' \
    -fill white -draw 'polygon 200,540 280,540 265,230 215,230' \
    -fill '#c0392b' -draw 'polygon 207,400 273,400 270,340 210,340' \
    -draw 'polygon 213,290 267,290 266,250 214,250' \
    -fill '#fff3a0' -draw 'rectangle 210,190 270,230' \
    -fill '#fff3a060' -draw 'polygon 270,200 480,120 480,300' \
    -fill '#c0392b' -draw 'polygon 200,190 280,190 240,150' \
    -font "$font" -pointsize 160 -fill '#fff3a0' -stroke black -strokewidth 3 \
    -gravity NorthWest -annotate +30+10 '2'

# 3: wide 800x450, progressive: hills and a river.
pic="$disc/picture/03 Холмы.jpg"
jpeg -size 800x450 gradient:'#bfe3ff'-'#ffffff' \
    -fill '#4e9a06' -draw 'ellipse 200,450 320,180 180,360' \
    -fill '#73d216' -draw 'ellipse 600,450 360,220 180,360' \
    -fill '#3465a4' -draw 'polygon 360,450 440,450 430,300 400,300' \
    -fill white -draw 'circle 690,80 690,50' \
    -font "$font" -pointsize 160 -fill '#f57900' -stroke black -strokewidth 3 \
    -gravity NorthWest -annotate +30+0 '3' \
    -interlace Plane

# 4: square 300x300, greyscale (one colour component): a record.
pic="$disc/picture/04 Пластинка.jpg"
jpeg -size 300x300 radial-gradient:'#e0e0e0'-'#505050' \
    -fill '#202020' -draw 'circle 150,150 150,25' \
    -fill none -stroke '#3a3a3a' -strokewidth 2 \
    -draw 'circle 150,150 150,45' -draw 'circle 150,150 150,65' -draw 'circle 150,150 150,85' \
    -stroke none -fill '#c8c8c8' -draw 'circle 150,150 150,110' \
    -fill '#202020' -draw 'circle 150,150 150,144' \
    -font "$font" -pointsize 110 -fill white -stroke black -strokewidth 3 \
    -gravity NorthWest -annotate +12-10 '4' \
    -colorspace Gray -type Grayscale

# 5: large 1024x683: a night city with lit windows.
pic="$disc/picture/05 Ночной город.jpg"
(
    set -- -size 1024x683 gradient:'#000814'-'#26305a' \
        -fill '#f1f1c0' -draw 'circle 860,110 860,60'
    # Houses of fixed heights; every third window is lit.
    x=0; n=0
    for h in 260 380 300 450 220 340 410 280 360 240; do
        top=$((683 - h))
        set -- "$@" -fill '#1a1a24' -draw "rectangle $x,$top $((x + 96)),683"
        y=$((top + 20))
        while [ $y -lt 660 ]; do
            wx=$((x + 14))
            while [ $wx -lt $((x + 76)) ]; do
                n=$((n + 1))
                if [ $((n % 3)) -eq 0 ]; then c='#ffd34d'; else c='#2e3440'; fi
                set -- "$@" -fill "$c" -draw "rectangle $wx,$y $((wx + 14)),$((y + 20))"
                wx=$((wx + 26))
            done
            y=$((y + 40))
        done
        x=$((x + 102))
    done
    jpeg "$@" -font "$font" -pointsize 200 -fill '#ffd34d' -stroke black -strokewidth 4 \
        -gravity NorthWest -annotate +30-10 '5'
)

# The group photo must come first in its folder, ahead of about.txt.
pic="$disc/about group/00 group.jpg"
(
    set -- -size 640x400 gradient:'#fde9c9'-'#e89b5a' \
        -fill '#6b3e26' -draw 'rectangle 0,330 640,400'
    for i in 0 1 2 3; do
        cx=$((130 + i * 125))
        set -- "$@" -fill '#f1c27d' -draw "circle $cx,170 $cx,130" \
            -fill "$(echo '#2e4a7d #8f2d56 #2f6f3e #5b3f8c' | cut -d' ' -f$((i + 1)))" \
            -draw "roundrectangle $((cx - 50)),220 $((cx + 50)),340 20,20"
    done
    jpeg "$@" -font "$serif" -pointsize 44 -fill '#3b2314' \
        -gravity North -annotate +0+20 'Ламповый Маяк'
)

# The player picture must come first in its folder, ahead of the two programs.
pic="$disc/player/00 player.jpg"
jpeg -size 400x300 gradient:'#2b2b2b'-'#555555' \
    -fill '#1e90ff' -draw 'circle 200,140 200,60' \
    -fill white -draw 'polygon 175,100 175,180 245,140' \
    -font "$font" -pointsize 32 -fill white -gravity South -annotate +0+20 'Player'

# ---------------------------------------------------------------- songs

# A song is a short tune: a few notes of a sine with soft edges, mono 22050 Hz, then
# 32 kbit/s MP3 (about 7 KB each).
song() { # song <mp3 path> <title> <album> <year> <track> <midi notes...>
    out=$1 title=$2 alb=$3 year=$4 track=$5
    shift 5
    python3 - "$work/song.wav" "$@" <<'PY'
import math, struct, sys, wave
path, notes = sys.argv[1], [int(n) for n in sys.argv[2:]]
rate, note_len = 22050, 0.3
frames = bytearray()
for n in notes:
    f = 440.0 * 2 ** ((n - 69) / 12)
    count = int(rate * note_len)
    for i in range(count):
        edge = min(1.0, i / 400, (count - i) / 400)
        v = 0.6 * math.sin(2 * math.pi * f * i / rate) + 0.2 * math.sin(4 * math.pi * f * i / rate)
        frames += struct.pack('<h', int(12000 * edge * v))
with wave.open(path, 'wb') as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(rate)
    w.writeframes(bytes(frames))
PY
    lame --quiet -b 32 --resample 22.05 -m m --id3v2-only --id3v2-utf16 \
        --tt "$title" --ta "Ламповый Маяк" --tl "$alb" --ty "$year" --tn "$track" \
        "$work/song.wav" "$out"
}

song "$disc/sound/$album1/01 Маяк.mp3" "Маяк" "Первый альбом" 2019 1 \
    60 64 67 72 67 64
song "$disc/sound/$album1/02 Дорога домой.mp3" "Дорога домой" "Первый альбом" 2019 2 \
    62 65 69 65 62 57
song "$disc/sound/$album1/03 Зимний трамвай.mp3" "Зимний трамвай" "Первый альбом" 2019 3 \
    64 64 71 69 67 64
song "$disc/sound/$album2/01 Paper Boats.mp3" "Paper Boats" "Second Album" 2022 1 \
    67 69 71 74 71 67
song "$disc/sound/$album2/02 Night Train.mp3" "Night Train" "Second Album" 2022 2 \
    57 60 64 60 57 52

# ---------------------------------------------------------------- player

placeholder() { # placeholder <file> <what it stands for>
    printf '#!/bin/sh\necho "Tavelo demo disc: %s would start here."\n' "$2" > "$1"
    chmod 755 "$1"
}
placeholder "$disc/player/player.exe" "the player"
placeholder "$disc/player/playersetup.exe" "the player's installer"

echo "demo disc written to $disc ($(du -sk "$disc" | cut -f1) KB)"
