#!/usr/bin/env python3
"""The hybrid disc image as a Windows listener meets it, under Wine.

Builds both kits and the demo disc's image (as the Linux kit proof does, from
the same functions), extracts the image with xorriso, maps its folder in a
fresh Wine prefix as drive D: of type CD-ROM, and starts the menu twice:
as AutoPlay does (the open= line of autorun.inf, run in D:\\) and as a
double-click in Explorer does (the top-level program by its full path, from
another folder). Each time: the window at its client size, the first slide
drawn, the catalogue filled, Exit ends the program, and nothing is written
inside the disc. Once, a song chosen in the catalogue reaches a recorder
program registered in the prefix for .mp3 files, in the song's own folder,
and its Windows-1251 lyrics show. The same disc without its picture folder
shows the start-up error box, then the window.

usage: windows_test.py --source REPO --work DIR"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import (BITBTN, CLIENT_SIZE, IMAGE1, RICHEDIT1, SKY_BLUE, Failure, Session, check, log, near,  # noqa: E402
                     snapshot, wait_until)
from kit_test import chmod_writable, make_kit_and_image, run  # noqa: E402
from scenarios import ARROW_X, TREEVIEW1, row_y, text_lines, tree_rows  # noqa: E402

PROGRAM = "tavelo\\windows\\bin\\tavelo.exe"


class WindowsProgram:
    """The menu's Windows process as Session watches it: the starter ends at
    once, so what runs is found by its command line."""

    def __init__(self, prefix):
        self.prefix = prefix

    def pids(self):
        out = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmd = f.read()
                with open("/proc/%s/environ" % pid, "rb") as f:
                    env = f.read()
            except OSError:
                continue
            if PROGRAM.encode() in cmd and ("WINEPREFIX=" + self.prefix).encode() in env:
                out.append(int(pid))
        return out

    def poll(self):
        return None if self.pids() else 0

    def kill(self):
        for pid in self.pids():
            try:
                os.kill(pid, 9)
            except OSError:
                pass

    def wait(self, timeout=None):
        wait_until(lambda: not self.pids(), timeout or 10, "the menu to end")
        return 0

    terminate = kill


def make_prefix(prefix, disc):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    shutil.rmtree(prefix, ignore_errors=True)
    t = time.monotonic()
    # The very first start now and then fails to load kernel32; once more does it.
    if subprocess.run(["wine", "wineboot", "-i"], env=env, capture_output=True, timeout=300).returncode != 0:
        run(["wine", "wineboot", "-i"], "wineboot", timeout=300, env=env)
    os.symlink(disc, os.path.join(prefix, "dosdevices", "d:"))
    run(["wine", "reg", "add", "HKLM\\Software\\Wine\\Drives", "/v", "d:", "/t", "REG_SZ", "/d", "cdrom", "/f"],
        "marking D: as a CD-ROM drive", env=env)
    run(["wineserver", "-w"], "wineserver", env=env)
    log("Wine prefix in %.1f s" % (time.monotonic() - t))
    return env


def register_recorder(source, work, env):
    """A stand-in player for .mp3 files: records the folder it starts in and
    the file it gets in the folder TAVELO_LAUNCHES names, which it inherits
    through the menu from env. Returns that folder."""
    recorder = os.path.join(work, "recorder.exe")
    run(["x86_64-w64-mingw32-g++-posix", "-municode", "-static", "-O2", "-o", recorder,
         os.path.join(source, "tests/media/win_recorder.cpp")], "compiling the recorder")
    command = '"%s" "%%1"' % run(["winepath", "-w", recorder], "winepath", env=env).strip()
    for hive in ("HKCU", "HKLM"):  # Wine 8 reads the machine's classes only
        for key, value in (("\\.mp3", "Tavelo.Recorder"), ("\\Tavelo.Recorder\\shell\\open\\command", command)):
            run(["wine", "reg", "add", hive + "\\Software\\Classes" + key, "/ve", "/t", "REG_SZ", "/d", value, "/f"],
                "registering the recorder", env=env)
    launches = os.path.join(work, "launches")
    if os.path.exists(launches):
        shutil.rmtree(launches)
    os.makedirs(launches)
    env["TAVELO_LAUNCHES"] = run(["winepath", "-w", launches], "winepath", env=env).strip()
    return launches


def recorded(launches):
    """Each start of the recorder as "file|folder", in the order they came."""
    seen = []
    for name in sorted(n for n in os.listdir(launches) if not n.startswith(".")):
        fields = open(os.path.join(launches, name), "rb").read().decode("utf-8").split("\0")
        seen.append("%s|%s" % (fields[1] if len(fields) > 2 else "", fields[0]))
    return seen


def choose_first_song(s, launches):
    s.click_widget(BITBTN[2])
    rows = wait_until(lambda: (lambda r: r if len(r) == 2 else None)(tree_rows(s.shot())), 10, "the two albums")
    s.click(ARROW_X, row_y(rows[0]))
    rows = wait_until(lambda: (lambda r: r if len(r) == 5 else None)(tree_rows(s.shot())), 10,
                      "the first album's three songs")
    s.click(TREEVIEW1[0] + 70, row_y(rows[1]))
    seen = wait_until(lambda: recorded(launches), 20, "the song reaching the recorder")
    want = ["D:\\sound\\2019 Первый альбом\\01 Маяк.mp3|D:\\sound\\2019 Первый альбом"]
    check(seen == want, "the recorder got %r, expected %r" % (seen, want))
    log("song reached the recorder:", seen[0])
    # Its lyrics, a Windows-1251 file, show beside the catalogue.
    wait_until(lambda: text_lines(s.shot(), RICHEDIT1, scrollbars=16)[0] >= 3, 10, "the song's lyrics")
    log("lyrics shown")


def start_and_check(s, wine_env, argv, cwd, what, launches=None):
    env = dict(wine_env, DISPLAY=s.display)
    t = time.monotonic()
    subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=open(os.path.join(s.tmp, "wine.log"), "ab"))
    s.app = WindowsProgram(wine_env["WINEPREFIX"])
    wait_until(lambda: s.app.pids(), 60, "the menu's process (%s)" % what)
    s.main_window(timeout=60)
    middle = (IMAGE1[0] + IMAGE1[2] // 2, IMAGE1[1] + IMAGE1[3] // 2)
    wait_until(lambda: not near(s.shot().px(*middle), SKY_BLUE, 12), 20, "the first slide (%s)" % what)
    log("%s: window and first slide in %.1f s" % (what, time.monotonic() - t))
    wait_until(lambda: len(tree_rows(s.shot())) == 2, 20, "the two albums (%s)" % what)
    if launches:
        choose_first_song(s, launches)
    s.click_widget(BITBTN[7])
    s.app.wait(15)
    log("%s: Exit ended the menu" % what)


def check_missing_pictures(s, wine_env, disc, work):
    """The same disc without its picture folder, as drive E:: the start-up
    error box, then the window."""
    broken = os.path.join(work, "windows-disc-no-pictures")
    shutil.rmtree(broken, ignore_errors=True)
    run(["cp", "-a", disc, broken], "copying the disc")
    shutil.rmtree(os.path.join(broken, "picture"))
    drive = os.path.join(wine_env["WINEPREFIX"], "dosdevices", "e:")
    os.symlink(broken, drive)
    try:
        subprocess.Popen(["wine", "start", "/d", "E:\\", "E:\\tavelo.exe"], env=dict(wine_env, DISPLAY=s.display),
                         cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        s.app = WindowsProgram(wine_env["WINEPREFIX"])

        def a_box():
            return [w for w in s.windows() if (lambda g: g and (g[2], g[3]) != CLIENT_SIZE)(s.geometry(w))]
        box = wait_until(a_box, 60, "the error box for the missing picture folder")[0]
        log("error box for the missing picture folder")
        s.dismiss_box(box)
        s.main_window(timeout=30)
        s.click_widget(BITBTN[7])
        s.app.wait(15)
    finally:
        os.remove(drive)
        shutil.rmtree(broken, ignore_errors=True)


def check_windows(source, iso, work):
    disc = os.path.join(work, "windows-disc")
    if os.path.exists(disc):
        chmod_writable(disc)
        shutil.rmtree(disc)
    run(["xorriso", "-osirrox", "on", "-indev", iso, "-extract", "/", disc], "extracting the image")
    chmod_writable(disc)  # Wine needs to enter the folders; the files stay read-only
    before = snapshot(disc)
    prefix = os.path.join(work, "wineprefix")
    wine_env = make_prefix(prefix, disc)
    launches = register_recorder(source, work, wine_env)
    lines = open(os.path.join(disc, "autorun.inf"), encoding="ascii").read().splitlines()
    check(lines and lines[0].strip().lower() == "[autorun]", "autorun.inf: %r" % lines[:1])
    opens = [line.split("=", 1)[1].strip() for line in lines if line.lower().startswith("open=")]
    check(len(opens) == 1, "autorun.inf has no single open= line: %r" % lines)
    try:
        with Session(os.path.join(disc, "tavelo.exe")) as s:
            # AutoPlay runs the open= line with the drive's root as the current folder.
            start_and_check(s, wine_env, ["wine", "start", "/d", "D:\\", "D:\\" + opens[0]], work, "AutoPlay",
                            launches)
            # Explorer starts a double-clicked program in its own folder; from
            # elsewhere, the starter still makes D:\ the menu's folder.
            start_and_check(s, wine_env, ["wine", "D:\\tavelo.exe"], work, "a double-click")
            check_missing_pictures(s, wine_env, disc, work)
    finally:
        subprocess.run(["wineserver", "-k"], env=wine_env)
    check(snapshot(disc) == before, "the disc tree changed while the menu ran")
    log("disc tree unchanged")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--work", required=True)
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "import", "xorriso", "wine", "wineserver"):
        if not shutil.which(tool):
            print("windows kit test FAILED: %s is missing (tools/install-deps.sh --windows installs it)" % tool)
            return 1
    source, work = os.path.abspath(a.source), os.path.abspath(a.work)
    os.makedirs(work, exist_ok=True)
    try:
        _, iso = make_kit_and_image(source, work)
        check_windows(source, iso, work)
    except Exception:
        traceback.print_exc()
        print("windows kit test FAILED")
        return 1
    print("windows kit test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
