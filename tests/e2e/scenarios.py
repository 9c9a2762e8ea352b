#!/usr/bin/env python3
"""Whole-program scenarios: each starts the built tavelo in its own X server on
a disc it builds, drives it as a listener would and checks what is on screen.

usage: scenarios.py --tavelo PATH SCENARIO"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (ACCEL, BITBTN, BUTTON1, BUTTON2, BUTTON3, BUTTON4, BUTTON5, CLIENT_SIZE, FRAME_POS,
                     IMAGE1, IMAGE2, RICHEDIT1, RICHEDIT2, SKY_BLUE, TREEVIEW1, Failure, Session, centre,
                     check, log, make_disc, make_noise_jpeg, near, snapshot, wait_until, write)

RED, GREEN, BLUE = (255, 0, 0), (0, 160, 0), (0, 0, 255)
YELLOW, MAGENTA = (255, 255, 0), (255, 0, 255)

# Where pictures of these sizes land inside a box, right and bottom exclusive.
IN_IMAGE1 = {(640, 480): (0, 99, 313, 333), (480, 640): (0, 8, 313, 425), (100, 100): (0, 60, 313, 373)}
IN_IMAGE2 = {(640, 480): (60, 0, 253, 145)}

SLIDES = [("01 red", 640, 480, RED), ("02 green", 480, 640, GREEN), ("03 blue", 100, 100, BLUE)]
ALBUMS = {
    "ALBUM A": {"1 ONE": "LINE A\nLINE B\nLINE C\n", "2 TWO": "ONE\nTWO\nTHREE\nFOUR\nFIVE\n"},
    "ALBUM B": {"3 THREE": None},  # no lyrics file
}

# Sample points of the content area and the slide controls.
MID = (292, 224)


def standard_disc(session, name="disc", **kw):
    root = os.path.join(session.tmp, name)
    make_disc(root, kw.pop("slides", SLIDES), kw.pop("albums", ALBUMS), **kw)
    return root


def start(session, disc, **kw):
    """Starts tavelo on a disc of two albums and waits until their songs,
    added in one go right after the window shows, are in the catalogue."""
    session.start(disc, **kw)
    session.main_window()
    wait_until(lambda: songs_in(session.shot(), 2), 5, "expand buttons on both albums (songs added)")


def until_checked(session, checks, timeout=5):
    """Runs checks(shot) on fresh screenshots until they pass; after timeout
    seconds its last failure stands."""
    end = time.monotonic() + timeout
    while True:
        try:
            return checks(session.shot())
        except Failure:
            if time.monotonic() >= end:
                raise
        time.sleep(0.1)


# ---------------------------------------------------------------- what is seen

def is_blue_text(c):
    return c[2] >= 200 and c[0] <= 60 and c[1] <= 60


def button_state(shot, n):
    """(caption blue, widened) for caption button n."""
    x, y, w, h = BITBTN[n]
    blue = shot.count((x, y, 130, h), is_blue_text) > 15
    # Every active width reaches past x 132, where the window's colour shows
    # otherwise.
    wide = not near(shot.px(132, y + h // 2), SKY_BLUE, 12)
    return blue, wide


def menu_state(shot):
    return {n: button_state(shot, n) for n in range(1, 7)}


def expect_menu(session, active, timeout=5):
    """Waits until exactly button `active` (or none) is highlighted."""
    want = {n: (n == active, n == active) for n in range(1, 7)}
    seen = {}

    def ok():
        seen["state"] = menu_state(session.shot())
        return seen["state"] == want
    try:
        wait_until(ok, timeout, "menu highlight on %s" % active, interval=0.2)
    except Failure:
        raise Failure("menu state (blue, wide) per button is %s, expected %s" % (seen.get("state"), want))


def visible(shot, rect):
    """A widget is shown where its centre no longer has the window's colour."""
    return not near(shot.px(*centre(rect)), SKY_BLUE, 12)


def active_button(n):
    x, y, w, h = BITBTN[n]
    return (x, y, 130 if n in (1, 5) else 129, h)


def inside(rect, x, y):
    rx, ry, rw, rh = rect
    return rx <= x < rx + rw and ry <= y < ry + rh


def check_picture(shot, box, rect, colour, what, tol=40, covered=()):
    """The picture fills exactly `rect` (box coordinates, right and bottom
    exclusive) and the window's colour shows right outside it, where that is
    still open window background. Points under the widgets `covered` (a
    highlighted button reaching into the content area) are left out."""
    bx, by, bw, bh = box
    l, t, r, b = rect
    x0, y0, x1, y1 = bx + l, by + t, bx + r - 1, by + b - 1
    xs = sorted({x0, x1, (x0 + x1) // 2} | set(range(x0, x1 + 1, 17)))
    ys = sorted({y0, y1, (y0 + y1) // 2} | set(range(y0, y1 + 1, 17)))
    points = [(x, y) for x in xs for y in (y0, y1)] + [(x, y) for y in ys for x in (x0, x1)]
    for x, y in points:
        if any(inside(c, x, y) for c in covered):
            continue
        check(near(shot.px(x, y), colour, tol), "%s: pixel (%d, %d) is %s, expected about %s" %
              (what, x, y, shot.px(x, y), colour))
    mx, my = (x0 + x1) // 2, (y0 + y1) // 2
    outside = [(mx, y0 - 1), (mx, y1 + 1), (x0 - 1, my), (x1 + 1, my)]
    for x, y in outside:
        if 0 <= x < CLIENT_SIZE[0] and 0 <= y < CLIENT_SIZE[1] and (bx <= x < bx + bw or x in (135, 449)) \
                and (by <= y < by + bh):
            check(near(shot.px(x, y), SKY_BLUE, 12), "%s: pixel (%d, %d) right outside the picture is %s, "
                  "expected the window's sky blue" % (what, x, y, shot.px(x, y)))


def text_lines(shot, rect, scrollbars=20):
    """Lines of text in a text view: runs of inked rows on its background."""
    x, y, w, h = rect
    inner = (x + 4, y + 4, w - 8 - scrollbars, h - 8 - scrollbars)
    background = shot.dominant(inner)
    return len(shot.ink_bands(inner, background)), background


def wait_colour(session, point, colour, what, timeout=5, tol=40):
    def ok():
        c = session.shot().px(*point)
        return near(c, colour, tol)
    wait_until(ok, timeout, what, interval=0.15)


# The catalogue's node rows, found as runs of inked rows on its sky blue.
TREE_INNER = (TREEVIEW1[0] + 6, TREEVIEW1[1] + 6, TREEVIEW1[2] - 12, TREEVIEW1[3] - 12)
ARROW_X = TREEVIEW1[0] + 14  # the expand buttons of top-level nodes


def tree_rows(shot):
    return shot.ink_bands(TREE_INNER, SKY_BLUE)


def row_has_arrow(shot, band):
    y0, y1 = band
    return shot.count((TREEVIEW1[0] + 6, y0, 16, y1 - y0 + 1),
                      lambda c: sum(abs(a - b) for a, b in zip(c, SKY_BLUE)) > 60) > 0


def row_y(band):
    return (band[0] + band[1]) // 2


def songs_in(shot, albums):
    """The catalogue lists `albums` albums, each with an expand button."""
    rows = tree_rows(shot)
    return len(rows) == albums and all(row_has_arrow(shot, b) for b in rows)


# ---------------------------------------------------------------- scenarios

def scenario_startup(s):
    disc = standard_disc(s)
    s.start(disc)
    wid = s.main_window()
    x, y, w, h, _ = s.geometry(wid)
    check((w, h) == CLIENT_SIZE, "client area is %dx%d, expected 688x449" % (w, h))
    left, right, top, bottom = s.frame_extents(wid)
    check((x - left, y - top) == FRAME_POS, "window frame at (%d, %d), expected (186, 124)" % (x - left, y - top))

    shot = s.shot()
    # The first slide, 640x480, centred and stretched in Image1.
    check_picture(shot, IMAGE1, IN_IMAGE1[(640, 480)], RED, "first slide")
    # Image2 is empty and shows nothing.
    check(near(shot.px(292, 60), SKY_BLUE, 12), "Image2 should be empty at start, shows %s" % (shot.px(292, 60),))
    for n in (1, 2, 3, 4, 5, 6):
        check(button_state(shot, n) == (False, False), "button %d is highlighted at start" % n)
    for rect in (BUTTON1, BUTTON2, BUTTON3, BUTTON4, BUTTON5):
        check(not visible(shot, rect), "a slide or player button shows at start")

    # The catalogue lists the two albums; right after start their songs come
    # in and the albums get expand buttons.
    rows = wait_until(lambda: (lambda r: r if len(r) == 2 else None)(tree_rows(s.shot())), 5,
                      "two album rows in the catalogue")
    wait_until(lambda: songs_in(s.shot(), 2), 3, "expand buttons on both albums (songs added)")
    s.click(ARROW_X, row_y(rows[0]))
    wait_until(lambda: len(tree_rows(s.shot())) == 4, 5, "album A opened to its two songs")
    rows = tree_rows(s.shot())
    s.click(ARROW_X, row_y(rows[3]))
    wait_until(lambda: len(tree_rows(s.shot())) == 5, 5, "album B opened to its song")
    check(s.alive(), "tavelo ended")


def scenario_menu(s):
    disc = standard_disc(s)
    start(s, disc)
    red = IN_IMAGE1[(640, 480)]

    def opened(n, shot):
        if n == 1:
            check(all(visible(shot, r) for r in (BUTTON1, BUTTON2, BUTTON3)), "slide controls not shown")
            # The player buttons lie under the slide controls but start 4 pixels further left.
            check(all(near(shot.px(10, y), SKY_BLUE, 12) for y in (324, 348)), "player buttons shown on the slides page")
            check_picture(shot, IMAGE1, red, RED, "slides page")
        elif n in (2, 4, 6):
            lines, bg = text_lines(shot, RICHEDIT2)
            check(not near(bg, SKY_BLUE, 12) and not near(bg, RED), "large text view not shown (background %s)" % (bg,))
            want = {2: 0, 4: 4, 6: 1}[n]
            check(lines == want, "large text view shows %d lines, expected %d" % (lines, want))
        elif n == 3:
            check_picture(shot, IMAGE2, IN_IMAGE2[(640, 480)], YELLOW, "group photo")
            check(near(shot.px(292, 156), SKY_BLUE, 12), "Image1 should be hidden under the group page")
            lines, bg = text_lines(shot, RICHEDIT1, scrollbars=16)
            check(not near(bg, SKY_BLUE, 12) and lines == 2, "group text view shows %d lines on %s, expected 2"
                  % (lines, bg))
        elif n == 5:
            check_picture(shot, IMAGE1, IN_IMAGE1[(100, 100)], MAGENTA, "player picture", covered=[active_button(5)])
            check(visible(shot, BUTTON4) and visible(shot, BUTTON5), "install and run buttons not shown")

    def closed(n, shot):
        check(not any(visible(shot, r) for r in (BUTTON1, BUTTON2, BUTTON3, BUTTON4, BUTTON5)),
              "slide or player buttons still shown after closing page %d" % n)
        check(near(shot.px(292, 80), SKY_BLUE, 12), "Image2 still shows after closing page %d" % n)
        # The content area shows the first slide again (the player page puts
        # it back itself).
        check_picture(shot, IMAGE1, red, RED, "content after closing page %d" % n)

    for n in (1, 2, 3, 4, 5, 6):
        log("section", n)
        s.click_widget(BITBTN[n])
        expect_menu(s, n)
        until_checked(s, lambda shot: opened(n, shot))
        s.click_widget(BITBTN[n])
        expect_menu(s, None)
        until_checked(s, lambda shot: closed(n, shot))

    # From one open page straight to another: Help gives way to Disc.
    s.click_widget(BITBTN[6])
    expect_menu(s, 6)
    s.click_widget(BITBTN[4])
    expect_menu(s, 4)
    until_checked(s, lambda shot: opened(4, shot))
    check(s.alive(), "tavelo ended")


def scenario_slides(s):
    disc = standard_disc(s)
    start(s, disc)
    s.click_widget(BITBTN[1])
    expect_menu(s, 1)
    shown = {RED: IN_IMAGE1[(640, 480)], GREEN: IN_IMAGE1[(480, 640)], BLUE: IN_IMAGE1[(100, 100)]}
    for button, colour in ((BUTTON2, GREEN), (BUTTON2, BLUE), (BUTTON2, RED), (BUTTON1, BLUE), (BUTTON1, GREEN),
                           (BUTTON1, RED), (BUTTON1, BLUE)):
        s.click_widget(button)
        wait_colour(s, MID, colour, "slide %s after %s" % (colour, "next" if button == BUTTON2 else "previous"))
        until_checked(s, lambda shot: check_picture(shot, IMAGE1, shown[colour], colour, "slide %s" % (colour,),
                                                    covered=[active_button(1)]))

    # The automatic show: from slide 3 it goes to 1, then 2, about every 4 s.
    s.click_widget(BUTTON3)
    clicked = time.monotonic()
    changes, last = [], BLUE
    while len(changes) < 2 and time.monotonic() - clicked < 12:
        c = s.shot().px(*MID)
        for colour in (RED, GREEN, BLUE):
            if near(c, colour) and colour != last:
                changes.append((time.monotonic() - clicked, colour))
                last = colour
        time.sleep(0.1)
    log("automatic changes", changes)
    check([c for _, c in changes] == [RED, GREEN], "automatic show went %s, expected red then green" % changes)
    check(3.3 <= changes[0][0] <= 5.5, "first automatic change after %.2f s, expected about 4" % changes[0][0])
    gap = changes[1][0] - changes[0][0]
    check(3.3 <= gap <= 5.5, "automatic changes %.2f s apart, expected about 4" % gap)

    # Opening another section stops the show: the player picture stays.
    s.click_widget(BITBTN[5])
    expect_menu(s, 5)
    wait_colour(s, MID, MAGENTA, "the player picture")
    # Longer than the show's period: watching that no change comes.
    end = time.monotonic() + 5.5
    while time.monotonic() < end:
        c = s.shot().px(*MID)
        check(near(c, MAGENTA), "the show went on after the player page opened: %s" % (c,))
        time.sleep(0.3)
    check(s.alive(), "tavelo ended")


def expect_launch(s, count, disc, album, song, timeout=8):
    launches = wait_until(lambda: (lambda l: l if len(l) >= count else None)(s.launches_seen()), timeout,
                          "launch %d of the recorder" % count)
    check(len(launches) == count, "%d launches, expected %d: %s" % (len(launches), count, launches))
    cwd, args = launches[-1]
    want = os.path.realpath(os.path.join(disc, "sound", album, song + ".mp3"))
    check(len(args) == 1 and os.path.realpath(args[0].replace("file://", "")) == want,
          "recorder got %s, expected %s" % (args, want))
    check(cwd in (os.path.realpath(disc), os.path.dirname(want)),
          "recorder ran in %s, expected the disc or the album folder" % cwd)


def scenario_keyboard(s):
    disc = standard_disc(s)
    start(s, disc)
    # The Slides button has the focus from the start.
    s.key("Return")
    expect_menu(s, 1)
    check(visible(s.shot(), BUTTON2), "Enter did not open the slide controls")
    # Slides, Lyrics, Group, Disc, then the catalogue.
    s.key("Tab", "Tab", "Tab", "Tab", "Home", "Right", "Down")
    expect_launch(s, 1, disc, "ALBUM A", "1 ONE")

    for n in (6, 5, 3, 4, 2, 1):
        s.accel(ACCEL[n])
        expect_menu(s, n)
    s.accel(ACCEL[1])
    expect_menu(s, None)
    s.accel(ACCEL[7])
    code = s.wait_exit(10)
    check(code == 0, "Alt+exit ended with code %s" % code)


def scenario_songs(s):
    disc = standard_disc(s)
    start(s, disc)
    s.click_widget(BITBTN[2])
    expect_menu(s, 2)
    check(text_lines(s.shot(), RICHEDIT2)[0] == 0, "lyrics view should be empty before a song is chosen")

    rows = tree_rows(s.shot())
    check(len(rows) == 2, "expected two albums, catalogue has %d rows" % len(rows))
    s.click(ARROW_X, row_y(rows[0]))
    wait_until(lambda: len(tree_rows(s.shot())) == 4, 5, "album A opened")
    rows = tree_rows(s.shot())
    s.click(ARROW_X, row_y(rows[3]))
    wait_until(lambda: len(tree_rows(s.shot())) == 5, 5, "album B opened")
    rows = tree_rows(s.shot())
    song_x = TREEVIEW1[0] + 70

    def lyrics_lines(n):
        wait_until(lambda: text_lines(s.shot(), RICHEDIT2)[0] == n, 5, "%d lines of lyrics" % n)

    # Clicking an album does nothing.
    s.click(song_x - 24, row_y(rows[0]))
    time.sleep(1)  # watching that no launch and no box comes
    check(not s.launches_seen() and not s.boxes(), "clicking an album launched or reported something")

    s.click(song_x, row_y(rows[1]))
    lyrics_lines(3)
    expect_launch(s, 1, disc, "ALBUM A", "1 ONE")
    s.click(song_x, row_y(rows[2]))
    lyrics_lines(5)
    expect_launch(s, 2, disc, "ALBUM A", "2 TWO")

    # No lyrics: the song still opens and one error box with the program's
    # title comes up; the lyrics view keeps what it showed.
    s.click(song_x, row_y(rows[4]))
    box = wait_until(lambda: s.boxes(), 8, "an error box")
    check(len(box) == 1, "%d error boxes, expected one" % len(box))
    expect_launch(s, 3, disc, "ALBUM B", "3 THREE")
    s.dismiss_box(box[0])
    time.sleep(1.5)  # watching that no second box comes
    check(not s.boxes(), "another error box came up after OK")
    check(s.alive(), "tavelo ended after the error box")
    check(text_lines(s.shot(), RICHEDIT2)[0] == 5, "lyrics view changed by the failed load")

    # The program goes on: the first song again plays and shows its lyrics.
    s.click(song_x, row_y(rows[1]))
    lyrics_lines(3)
    expect_launch(s, 4, disc, "ALBUM A", "1 ONE")


def scenario_errors(s):
    disc = standard_disc(s, slides=[])
    check(not os.path.exists(os.path.join(disc, "picture")), "the fixture should have no picture folder")
    s.start(disc)
    seen = set()

    def a_box():
        check(s.alive(), "tavelo ended with code %s" % s.app.poll())
        found = []
        for w in s.windows():
            g = s.geometry(w)
            if g and (g[2], g[3]) != CLIENT_SIZE:
                found.append(w)
        seen.update(found)
        return found
    boxes = wait_until(a_box, 30, "the start-up error box")
    time.sleep(1)  # watching that no second box comes
    a_box()
    check(len(seen) == 1, "%d error boxes at start, expected one" % len(seen))
    s.dismiss_box(boxes[0])
    s.main_window()
    time.sleep(1.5)  # watching that no other box comes
    check(not s.boxes(), "another error box came up")

    # A working window: the pages open and the menu highlights.
    shot = s.shot()
    check(near(shot.px(*MID), SKY_BLUE, 12), "Image1 should be empty without pictures")
    # The albums do not depend on the pictures: the catalogue still lists them.
    check(len(tree_rows(shot)) == 2, "the catalogue should list both albums")
    s.click_widget(BITBTN[6])
    expect_menu(s, 6)
    check(text_lines(s.shot(), RICHEDIT2)[0] == 1, "help text not shown")
    s.click_widget(BITBTN[3])
    expect_menu(s, 3)
    until_checked(s, lambda shot: check_picture(shot, IMAGE2, IN_IMAGE2[(640, 480)], YELLOW, "group photo"))
    s.click_widget(BITBTN[7])
    check(s.wait_exit(10) == 0, "exit code not 0")


def scenario_exit(s):
    disc = standard_disc(s)
    start(s, disc)
    s.click_widget(BITBTN[1])
    expect_menu(s, 1)
    check(visible(s.shot(), BUTTON2), "slide controls not shown before exit")
    clicked = time.monotonic()
    s.click_widget(BITBTN[7])
    # During the one-second pause the screen already shows the reset menu.
    def reset(during):
        check(menu_state(during) == {n: (False, False) for n in range(1, 7)},
              "menu during the exit pause is %s, expected nothing highlighted" % menu_state(during))
        check(not any(visible(during, r) for r in (BUTTON1, BUTTON2, BUTTON3)),
              "slide controls shown during the exit pause")
    until_checked(s, reset, timeout=0.6)
    check(s.alive() and time.monotonic() - clicked < 0.9, "the pause ended before the screenshot")
    code = s.wait_exit(10)
    took = time.monotonic() - clicked
    log("exit button: code", code, "after %.2f s" % took)
    check(code == 0, "exit button gave code %s" % code)
    check(0.9 <= took <= 2.5, "exit button ended the program after %.2f s, expected about 1" % took)

    # The window's close request (the window manager's Alt+F4) ends it at once.
    start(s, disc)
    s.click_widget(BITBTN[6])
    expect_menu(s, 6)
    code = s.close_by_window_manager(3)
    check(code == 0, "close request gave code %s" % code)
    took = s.close_took
    log("close request: code", code, "after %.2f s" % took)
    check(took < 0.8, "close request took %.2f s, expected at once" % took)


WRITE_CALLS = {"mkdir", "mkdirat", "rmdir", "unlink", "unlinkat", "rename", "renameat", "renameat2", "link",
               "linkat", "symlink", "symlinkat", "chmod", "fchmodat", "chown", "lchown", "fchownat", "truncate",
               "utime", "utimes", "utimensat", "futimesat", "mknod", "mknodat", "setxattr", "lsetxattr",
               "removexattr", "lremovexattr"}
FD_WRITE_CALLS = {"write", "writev", "pwrite64", "pwritev", "pwritev2", "ftruncate", "fallocate", "fchmod",
                  "fchown", "fsetxattr", "fremovexattr"}
OPEN_CALLS = {"open", "openat", "openat2", "creat"}
LINE = re.compile(r'^\d+\s+(\w+)\((.*)')
ARG_PATH = re.compile(r'(?:(AT_FDCWD|\d+)<([^>]*)>,\s*)?"((?:[^"\\]|\\.)*)"')


def writes_inside(strace_log, disc):
    """Calls that write, or try to, inside the disc."""
    disc = os.path.realpath(disc)
    found = []

    def inside(p):
        p = os.path.normpath(p)
        return p == disc or p.startswith(disc + os.sep)
    with open(strace_log, errors="replace") as f:
        for line in f:
            m = LINE.match(line)
            if not m:
                continue
            call, rest = m.groups()
            if call in FD_WRITE_CALLS:
                fd = re.match(r'\d+<([^>]*)>', rest)
                if fd and inside(fd.group(1)):
                    found.append(line.strip())
                continue
            if call in OPEN_CALLS:
                if call != "creat" and not re.search(r'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND', rest):
                    continue
            elif call not in WRITE_CALLS:
                continue
            for dirfd, base, path in ARG_PATH.findall(rest):
                path = bytes(path, "utf-8").decode("unicode_escape").encode("latin-1").decode("utf-8", "replace")
                # A relative path without a folder of its own is taken as the
                # program's own, which is the disc.
                full = os.path.join(base or disc, path)
                if inside(full):
                    found.append(line.strip())
                    break
    return found


def scenario_readonly(s):
    work = standard_disc(s, name="master")
    disc = os.path.join(s.tmp, "readonly disc")
    shutil.copytree(work, disc)
    for d, dirs, files in os.walk(disc):
        for n in files:
            os.chmod(os.path.join(d, n), 0o444)
        for n in dirs:
            os.chmod(os.path.join(d, n), 0o555)
    os.chmod(disc, 0o555)
    before = snapshot(disc)
    traced = shutil.which("strace") is not None
    strace_log = os.path.join(s.tmp, "strace.log") if traced else None
    log("strace", "used" if traced else "not installed: checking contents and times only")
    start(s, disc, strace_log=strace_log)

    # A full round: every page, slides, songs, an edited catalogue label,
    # the player buttons, then Exit.
    for n in (1, 2, 3, 4, 5, 6):
        s.click_widget(BITBTN[n])
        expect_menu(s, n)
        if n == 1:
            for b, colour in ((BUTTON2, GREEN), (BUTTON2, BLUE), (BUTTON1, GREEN)):
                s.click_widget(b)
                wait_colour(s, MID, colour, "slide %s" % (colour,))
        if n == 5:
            s.click_widget(BUTTON4)
            s.click_widget(BUTTON5)
    rows = tree_rows(s.shot())
    s.click(ARROW_X, row_y(rows[0]))
    wait_until(lambda: len(tree_rows(s.shot())) == 4, 5, "album A opened")
    rows = tree_rows(s.shot())
    song_x = TREEVIEW1[0] + 70
    s.click(song_x, row_y(rows[1]))
    expect_launch(s, 1, disc, "ALBUM A", "1 ONE")
    s.click(song_x, row_y(rows[2]))
    expect_launch(s, 2, disc, "ALBUM A", "2 TWO")
    # Renaming the selected song in place changes the label only.
    time.sleep(1.0)  # past the double-click interval: the next click is a single one
    s.click(song_x, row_y(rows[2]))
    # The editor covers the label only: the row's selection colour leaves its right part.
    wait_until(lambda: near(s.shot().px(TREEVIEW1[0] + 180, row_y(rows[2])), SKY_BLUE, 12), 5, "the label editor")
    s.key("ctrl+a")
    s.xdo("type", "--delay", "30", "RENAMED")
    s.key("Return")
    # The new label names no lyrics and no song: one box each, the second
    # once the first is closed.
    for what in ("the missing lyrics", "the missing song"):
        s.dismiss_box(wait_until(s.boxes, 8, "the error box for " + what)[0])
    check(s.alive(), "tavelo ended")
    s.click_widget(BITBTN[7])
    check(s.wait_exit(10) == 0, "exit code not 0")

    after = snapshot(disc)
    changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
    check(not changed, "the read-only disc changed: %s" % changed)
    if traced:
        writes = writes_inside(strace_log, disc)
        check(not writes, "tavelo tried to write inside the disc:\n" + "\n".join(writes[:20]))
        # The trace did see the program at work on the disc.
        with open(strace_log, errors="replace") as f:
            text = f.read()
        check("01 red.jpg" in text and "1 ONE.txt" in text, "the trace does not show the disc being read")


def scenario_resilience(s):
    root = os.path.join(s.tmp, "disc")
    make_disc(root, [("01 good", 640, 480, RED)], ALBUMS)
    pictures = os.path.join(root, "picture")
    make_noise_jpeg(os.path.join(s.tmp, "noise.jpg"), 320, 240)
    with open(os.path.join(s.tmp, "noise.jpg"), "rb") as f:
        noise = f.read()
    # Garbage in the middle of the coded data (no 0xFF, so no false markers).
    mid = len(noise) // 2
    corrupt = noise[:mid] + bytes((i * 37 + 11) % 255 for i in range(2000)) + noise[mid + 2000:]
    write(os.path.join(pictures, "02 corrupt.jpg"), corrupt)
    write(os.path.join(pictures, "03 truncated.jpg"), noise[:len(noise) * 2 // 5])
    write(os.path.join(pictures, "04 empty.jpg"), b"")
    write(os.path.join(pictures, "05 text.jpg"), "this is no picture\n" * 20)
    write(os.path.join(pictures, "06 header only.jpg"), noise[:300])
    write(os.path.join(pictures, "07 soi only.jpg"), b"\xff\xd8\xff\xd9")
    count = 7
    start(s, root)
    s.click_widget(BITBTN[1])
    expect_menu(s, 1)
    s.click_widget(BUTTON3)
    began = time.monotonic()
    boxes, colours = 0, []

    def damaged_seen():
        return any(not near(c, RED) and not near(c, SKY_BLUE, 12) for c in colours)
    # A full round of the show over every picture, and back to the first.
    round_done = False
    while not round_done and time.monotonic() - began < count * 4 + 11:
        check(s.alive(), "tavelo ended with code %s during the show" % s.app.poll())
        for box in s.boxes():
            boxes += 1
            s.dismiss_box(box)
        c = s.shot().px(*MID)
        if not colours or colours[-1] != c:
            colours.append(c)
        round_done = near(c, RED) and damaged_seen()
        time.sleep(0.3)
    log("error boxes", boxes, "colours seen", len(colours), "round done after %.1f s" % (time.monotonic() - began))
    check(boxes >= 3, "only %d error boxes for the empty, text and marker-only files" % boxes)
    check(damaged_seen(), "the damaged pictures were not shown")
    check(round_done, "the first picture did not come back after a full round")
    for box in s.boxes():
        s.dismiss_box(box)
    s.click_widget(BUTTON3)
    s.click_widget(BITBTN[6])
    expect_menu(s, 6)
    s.click_widget(BITBTN[7])
    check(s.wait_exit(10) == 0, "exit code not 0")


def scenario_demo(s):
    """The bundled demo disc: it starts without a single error box, shows its
    first slide and albums, and the window's close request ends it with 0."""
    demo = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "demo-disc"))
    start(s, demo)
    wid = s.main_window()
    _, _, w, h, _ = s.geometry(wid)
    check((w, h) == CLIENT_SIZE, "client area is %dx%d, expected 688x449" % (w, h))
    time.sleep(0.5)  # watching that no box comes
    check(not s.boxes(), "the demo disc raised an error box")
    # The first slide is 640x480: its rectangle is not the window's sky blue.
    middle = (IMAGE1[0] + IMAGE1[2] // 2, IMAGE1[1] + IMAGE1[3] // 2)
    wait_until(lambda: not near(s.shot().px(*middle), SKY_BLUE, 12), 5, "the first slide in Image1")
    wait_until(lambda: len(tree_rows(s.shot())) == 2, 5, "the demo disc's two albums listed")
    check(not s.boxes(), "the demo disc raised an error box")
    code = s.close_by_window_manager(3)
    check(code == 0, "close request gave code %s" % code)


# ---------------------------------------------------------------- high density

def stripes_jpeg(path, width, height):
    """Black and white columns one pixel wide, black first; grey levels only
    and no chroma subsampling, so the decoded columns stay apart."""
    row = bytes(v for x in range(width) for v in ((255, 255, 255) if x % 2 else (0, 0, 0)))
    ppm = b"P6 %d %d 255\n" % (width, height) + row * height
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["convert", "ppm:-", "-quality", "100", "-sampling-factor", "1x1", "jpg:" + path],
                   input=ppm, check=True, timeout=60)


def is_ink(c):
    """Caption ink: black, or the highlight's blue."""
    return max(c) < 100 or is_blue_text(c)


def caption_margins(shot, rect, scale):
    """Screen pixels between a caption's ink and its button's left and right
    edges, looking between the frames; None when the button shows no ink."""
    x, y, w, h = (v * scale for v in rect)
    frame = 2 * scale
    cols = [xx for xx in range(x + frame, x + w - frame)
            if any(is_ink(shot.px(xx, yy)) for yy in range(y + frame, y + h - frame))]
    if not cols:
        return None
    return cols[0] - x, x + w - 1 - cols[-1]


def scenario_highdpi(s):
    """The window on a screen of 192 pixels per inch: everything at twice the
    size and place, its own icon, every caption inside its button, the first
    slide drawn from its full resolution into the screen's pixels, and no
    picture showing beside the text view that covers it."""
    scale = 2
    s.x(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER", "Xft.dpi:\t192\n"])
    root = os.path.join(s.tmp, "disc")
    make_disc(root, [], ALBUMS)
    # 626 x 470 fills Image1's width, 313 pixels, exactly twice over.
    stripes_jpeg(os.path.join(root, "picture", "01 stripes.jpg"), 626, 470)
    s.start(root)
    wid = s.main_window(size=(CLIENT_SIZE[0] * scale, CLIENT_SIZE[1] * scale))
    x, y, _, _, _ = s.geometry(wid)
    left, _, top, _ = s.frame_extents(wid)
    check((x - left, y - top) == (FRAME_POS[0] * scale, FRAME_POS[1] * scale),
          "window frame at (%d, %d), expected twice (186, 124)" % (x - left, y - top))
    # The window's icon travels inside the program.
    icon = s.x(["xprop", "-id", str(wid), "_NET_WM_ICON"], check_rc=False)
    check("Icon (16 x 16)" in icon, "the window has no 16 x 16 icon: %s" % icon[:80])

    # The captions keep a margin inside their buttons, highlighted or not.
    def margins(shot):
        for n in range(1, 8):
            m = caption_margins(shot, BITBTN[n], scale)
            check(m is not None and min(m) >= 3 * scale, "caption of button %d: margins %s in screen pixels" % (n, m))
    until_checked(s, margins)
    for n in (2, 3):
        s.click(*(v * scale for v in centre(BITBTN[n])))
        wait_until(lambda: caption_blue(s.shot(), n, scale), 5, "button %d highlighted" % n)
        m = caption_margins(s.shot(), active_button(n), scale)
        check(m is not None and min(m) >= 3 * scale, "highlighted caption %d: margins %s" % (n, m))
        s.click(*(v * scale for v in centre(BITBTN[n])))
        wait_until(lambda: not caption_blue(s.shot(), n, scale), 5, "button %d plain again" % n)

    # The slide: (0, 99)-(313, 333) in the box, every screen column its own
    # picture column. A picture first reduced to the box's 313 columns would
    # show one colour here, each column doubled.
    shot = s.shot()
    bx, by = IMAGE1[0] * scale, (IMAGE1[1] + 99) * scale
    row = [shot.px(bx + i, by + 100) for i in range(626)]
    check(all(near(c, (0, 0, 0), 90) or near(c, (255, 255, 255), 90) for c in row),
          "the slide does not fill the 626 screen columns from %d" % bx)
    alternating = sum(1 for a, b in zip(row, row[1:]) if (a[0] < 128) != (b[0] < 128))
    log("alternating neighbours", alternating, "of", len(row) - 1)
    check(alternating >= 0.95 * (len(row) - 1),
          "only %d of %d neighbouring columns differ: the picture was not drawn at screen resolution"
          % (alternating, len(row) - 1))
    check(near(shot.px(bx - 1, by + 100), SKY_BLUE, 12) and near(shot.px(bx + 626, by + 100), SKY_BLUE, 12),
          "the slide reaches past its 626 screen columns")

    # The lyrics view covers the slide; its border shows none of it.
    s.click(*(v * scale for v in centre(BITBTN[2])))
    wait_until(lambda: caption_blue(s.shot(), 2, scale), 5, "the lyrics page")
    ex, _, ew, _ = (v * scale for v in RICHEDIT2)

    def covered(shot):
        for xx in list(range(ex, ex + 3 * scale)) + list(range(ex + ew - 3 * scale, ex + ew)):
            for yy in range(by, by + 400, 7):
                c = shot.px(xx, yy)
                check(not near(c, (0, 0, 0), 60) and not near(c, (255, 255, 255), 8),
                      "the slide shows beside the lyrics view at (%d, %d): %s" % (xx, yy, c))
    until_checked(s, covered)
    s.click(*(v * scale for v in centre(BITBTN[7])))
    check(s.wait_exit(10) == 0, "exit code not 0")


def caption_blue(shot, n, scale):
    """Whether caption button n of a scaled window is highlighted."""
    x, y, w, h = (v * scale for v in BITBTN[n])
    return shot.count((x, y, 130 * scale, h), is_blue_text) > 15 * scale * scale


SCENARIOS = {
    "demo": scenario_demo,
    "startup": scenario_startup,
    "menu": scenario_menu,
    "slides": scenario_slides,
    "keyboard": scenario_keyboard,
    "songs": scenario_songs,
    "errors": scenario_errors,
    "exit": scenario_exit,
    "readonly": scenario_readonly,
    "resilience": scenario_resilience,
    "highdpi": scenario_highdpi,
}

# Scenarios that need a screen of their own.
SESSION_OPTIONS = {"highdpi": {"screen": "1920x1200x24"}}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tavelo", required=True)
    ap.add_argument("scenario", choices=sorted(SCENARIOS))
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import", "convert"):
        if not shutil.which(tool):
            print("missing tool:", tool)
            return 1
    try:
        with Session(a.tavelo, **SESSION_OPTIONS.get(a.scenario, {})) as s:
            try:
                SCENARIOS[a.scenario](s)
            except Exception:
                # What the screen showed when the check failed, for the report.
                png = os.path.abspath("e2e_%s_failure.png" % a.scenario)
                s.x(["import", "-window", "root", png], check_rc=False)
                print("screen at failure:", png)
                raise
            finally:
                if s.app is not None and os.path.exists(s.stderr_path):
                    err = open(s.stderr_path, errors="replace").read().strip()
                    if err:
                        print("tavelo stderr:\n" + err[-3000:])
    except Exception:
        traceback.print_exc()
        print("FAILED:", a.scenario)
        return 1
    print("PASSED:", a.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
