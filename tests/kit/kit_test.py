#!/usr/bin/env python3
"""The disc kit as a listener meets it.

Builds the kit (with the Windows program beside the Linux one) and the demo
disc's image, then:
- on this machine, starts the kit's program with a foreign Qt library first
  in LD_LIBRARY_PATH and a foreign plugin folder in QT_PLUGIN_PATH, and checks
  that only the kit's Qt is mapped;
- in a clean Debian root of the given release (debootstrap minbase plus the
  client libraries a desktop has, no Qt; cached outside the clone, under
  $TAVELO_KIT_ROOTS or ~/.cache/tavelo/kit-roots), with the image's files
  extracted by xorriso, runs `sh autorun.sh` from the image's top folder as an
  unprivileged user against an Xvfb of this machine, and checks the first
  slide, a song reaching a recorder application registered in the root, the
  players' environment and standard error, a start from folders whose names
  Qt cannot hold, and that the disc tree is unchanged. Without a display,
  autorun.sh must say why.

Needs root (debootstrap, chroot, a private mount and pid namespace for /proc).

usage: kit_test.py --source REPO --work DIR --suite bookworm|trixie [--root-cache DIR]"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import BITBTN, IMAGE1, SKY_BLUE, Failure, Session, check, log, near, snapshot, wait_until, write  # noqa: E402
from scenarios import ARROW_X, TREEVIEW1, row_y, tree_rows  # noqa: E402

MIRROR = os.environ.get("TAVELO_DEBIAN_MIRROR", "http://deb.debian.org/debian")
# What a desktop always has: X11/xcb core, OpenGL, fonts, GLib with the MIME
# database. Nothing of Qt, nothing for development. Debian 13 renamed GLib's
# package in its 64-bit time move.
DESKTOP_PACKAGES = ["libx11-6", "libx11-xcb1", "libxcb1", "libgl1", "libegl1", "libopengl0",
                    "fontconfig", "libfreetype6", "libharfbuzz0b", "shared-mime-info", "libsm6", "libice6"]
ROOT_PACKAGES = {"bookworm": DESKTOP_PACKAGES + ["libglib2.0-0"],
                 "trixie": DESKTOP_PACKAGES + ["libglib2.0-0t64"]}
LISTENER = 65534  # nobody: the listener is not root
FIRST_SONG = ("2019 Первый альбом", "01 Маяк")


def run(argv, what, timeout=600, **kw):
    p = subprocess.run(argv, capture_output=True, timeout=timeout, **kw)
    if p.returncode != 0:
        raise Failure("%s failed (%d): %s" % (what, p.returncode,
                                              (p.stdout + p.stderr).decode(errors="replace")[-3000:]))
    return p.stdout.decode(errors="replace")


def chmod_writable(top):
    # Extracted disc trees are read-only; removal needs the write bits back.
    for d, dirs, _ in os.walk(top):
        os.chmod(d, 0o755)


# ---------------------------------------------------------------- kit and image

def make_kit_and_image(source, work):
    kit, iso = os.path.join(work, "kit"), os.path.join(work, "demo.iso")
    t = time.monotonic()
    env = dict(os.environ)
    env.setdefault("TAVELO_KIT_BUILD", os.path.join(work, "build"))
    env.setdefault("TAVELO_WIN_KIT_BUILD", os.path.join(work, "build-win"))
    log(run(["bash", os.path.join(source, "tools/make-kit.sh"), kit], "make-kit", timeout=1200, env=env).strip())
    # The Windows program beside it: one image for both systems.
    log(run(["bash", os.path.join(source, "tools/make-kit-windows.sh"), kit], "make-kit-windows", timeout=3600,
            env=env).strip())
    log(run(["sh", os.path.join(source, "tools/make-image.sh"), os.path.join(source, "demo-disc"), iso,
             "--label", "TAVELO DEMO", "--kit", kit], "make-image").strip())
    log("kit and image in %.1f s" % (time.monotonic() - t))
    return kit, iso


# ---------------------------------------------------------------- this machine

# Opens a .desktop file as a file manager does (GIO, from its file name, so
# that %k is its path) and stays, keeping the root's pid namespace alive.
OPEN_DESKTOP_C = r"""
#include <gio/gdesktopappinfo.h>
#include <unistd.h>
int main(int argc, char** argv)
{
    GError* error = NULL;
    GDesktopAppInfo* app = argc == 2 ? g_desktop_app_info_new_from_filename(argv[1]) : NULL;
    if (!app || !g_app_info_launch(G_APP_INFO(app), NULL, NULL, &error))
        return 1;
    for (;;)
        pause();
}
"""

BOGUS_C = r"""
#include <unistd.h>
__attribute__((constructor)) static void taken(void)
{
    static const char msg[] = "foreign library loaded\n";
    write(2, msg, sizeof msg - 1);
    _exit(99);
}
"""


def check_host(source, kit, work):
    """A foreign Qt first in the search paths must not be taken."""
    foreign = os.path.join(work, "foreign")
    shutil.rmtree(foreign, ignore_errors=True)
    os.makedirs(os.path.join(foreign, "lib"))
    os.makedirs(os.path.join(foreign, "plugins", "platforms"))
    write(os.path.join(foreign, "bogus.c"), BOGUS_C)
    for soname, target in (("libQt6Core.so.6", "lib/libQt6Core.so.6"),
                           ("libQt6Gui.so.6", "lib/libQt6Gui.so.6"),
                           ("libqxcb.so", "plugins/platforms/libqxcb.so")):
        run(["cc", "-shared", "-fPIC", "-Wl,-soname," + soname, "-o", os.path.join(foreign, target),
             os.path.join(foreign, "bogus.c")], "compiling a foreign " + soname)
    system_qt = os.path.dirname(os.path.realpath(glob.glob("/usr/lib/*/libQt6Core.so.6")[0]))
    env_extra = {
        "LD_LIBRARY_PATH": os.path.join(foreign, "lib") + ":" + system_qt,
        "QT_PLUGIN_PATH": os.path.join(foreign, "plugins") + ":" + os.path.join(system_qt, "qt6", "plugins"),
    }
    prog = os.path.join(kit, "tavelo", "bin", "tavelo")
    with Session(prog) as s:
        s.stderr_path = os.path.join(s.tmp, "tavelo.stderr")
        s.app = s._spawn([prog], env=dict(s.env, **env_extra), cwd=os.path.join(source, "demo-disc"),
                         stdout=subprocess.DEVNULL, stderr=open(s.stderr_path, "wb"))
        try:
            s.main_window()
        except Failure as e:
            raise Failure("%s; stderr: %s" % (e, open(s.stderr_path, errors="replace").read()))
        middle = (IMAGE1[0] + IMAGE1[2] // 2, IMAGE1[1] + IMAGE1[3] // 2)
        wait_until(lambda: not near(s.shot().px(*middle), SKY_BLUE, 12), 10, "the first slide (host run)")
        with open("/proc/%d/maps" % s.app.pid) as f:
            mapped = {line.split(None, 5)[5].strip() for line in f if len(line.split(None, 5)) == 6}
        real_kit = os.path.realpath(kit)
        qt = [m for m in mapped if "libQt6" in m or "libqxcb" in m or "libicu" in m]
        check(qt and all(os.path.realpath(m).startswith(real_kit + "/") for m in qt),
              "Qt mapped from outside the kit: %s" % sorted(qt))
        check(not [m for m in mapped if m.startswith(foreign)], "a foreign library was mapped")
        check(s.alive(), "the program ended")
    log("host run: only the kit's Qt mapped (%d objects)" % len(qt))


# ---------------------------------------------------------------- the clean root

def make_root(root, suite):
    """A minbase root of suite with the desktop's client libraries, made once
    and kept; a changed package list makes it anew."""
    stamp = os.path.join(root, ".tavelo-root")
    packages = ROOT_PACKAGES[suite]
    want = "%s minbase %s\n" % (suite, ",".join(packages))
    if os.path.exists(stamp) and open(stamp).read() == want:
        log("clean root: cached at", root)
        return
    for tool in ("debootstrap", "chroot", "unshare"):
        check(shutil.which(tool), "%s is missing: the clean root cannot be made (tools/install-deps.sh installs it)"
              % tool)
    if os.path.exists(root):
        with open("/proc/mounts") as f:
            check(not any((" " + os.path.realpath(root) + "/") in line for line in f),
                  "something is mounted inside %s; not removing it" % root)
        shutil.rmtree(root)
    t = time.monotonic()
    log("clean root: debootstrap %s from %s" % (suite, MIRROR))
    p = subprocess.run(["debootstrap", "--variant=minbase", "--include=" + ",".join(packages),
                        suite, root, MIRROR], capture_output=True, timeout=1500)
    if p.returncode != 0:
        raise Failure("debootstrap failed (%d), the clean root could not be made:\n%s" %
                      (p.returncode, (p.stdout + p.stderr).decode(errors="replace")[-3000:]))
    # Nothing of Qt may be in it, or the proof proves nothing.
    qt = glob.glob(os.path.join(root, "usr/lib/*/libQt*")) + glob.glob(os.path.join(root, "usr/lib/*/qt6"))
    check(not qt, "the clean root holds Qt: %s" % qt)
    write(stamp, want)
    log("clean root: made in %.1f s" % (time.monotonic() - t))


def in_root(root, argv, env, **kw):
    """argv in the root as the listener, with its own /proc (the loader
    needs it to find the program's own folder), in a pid namespace so that
    nothing started there outlives the run."""
    # The namespace's first process stays a root shell: killing unshare kills
    # it (a process that changes its user loses that link), and with it
    # everything in the namespace.
    return ["unshare", "--mount", "--pid", "--fork", "--kill-child", "--mount-proc=" + os.path.join(root, "proc"),
            "/bin/sh", "-c", 'chroot --userspec=%d:%d "$0" /usr/bin/env -i "$@"' % (LISTENER, LISTENER), root] + \
        ["%s=%s" % kv for kv in env.items()] + argv



def start_in_root(s, root, command, env, what):
    """Starts command inside the root against the session's display and waits
    for the window with its first slide drawn; stderr goes to s.stderr_path."""
    argv = in_root(root, command, dict(env, DISPLAY=s.display))
    s.app = s._spawn(argv, stdout=subprocess.DEVNULL, stderr=open(s.stderr_path, "wb"))
    try:
        s.main_window(timeout=60)
    except Failure as e:
        raise Failure("%s; stderr: %s" % (e, open(s.stderr_path, errors="replace").read()))
    middle = (IMAGE1[0] + IMAGE1[2] // 2, IMAGE1[1] + IMAGE1[3] // 2)
    wait_until(lambda: not near(s.shot().px(*middle), SKY_BLUE, 12), 10, what)

def prepare_listener(root, iso):
    """The disc at /disc, a home with a recorder registered for MP3 files."""
    disc, home = os.path.join(root, "disc"), os.path.join(root, "home", "listener")
    for old in (disc, home):
        if os.path.exists(old):
            chmod_writable(old)
            shutil.rmtree(old)
    run(["xorriso", "-osirrox", "on", "-indev", iso, "-extract", "/", disc], "extracting the image")
    launches = os.path.join(home, "launches")
    envs = os.path.join(home, "envs")
    for sub in ("launches", "envs", "stderrs", "runtime", ".config", ".local/share/applications", ".cache"):
        os.makedirs(os.path.join(home, sub), exist_ok=True)
    # The tests' one recorder (tests/recorder.sh) records each launch; the
    # listener's environment is kept apart, to see what the players inherit.
    shutil.copy(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "recorder.sh"),
                os.path.join(home, "recorder.sh"))
    write(os.path.join(home, "recorder"),
          "#!/bin/sh\n"
          "env > /home/listener/envs/$$\n"
          "stat -L -c %F /proc/self/fd/2 > /home/listener/stderrs/$$\n"
          "exec sh /home/listener/recorder.sh /home/listener/launches \"$@\"\n")
    os.chmod(os.path.join(home, "recorder"), 0o755)
    write(os.path.join(home, ".local/share/applications/recorder.desktop"),
          "[Desktop Entry]\nType=Application\nName=Recorder\nExec=/home/listener/recorder %F\nMimeType=audio/mpeg;\n")
    write(os.path.join(home, ".config/mimeapps.list"), "[Default Applications]\naudio/mpeg=recorder.desktop\n")
    for d, dirs, files in os.walk(home):
        for n in [d] + [os.path.join(d, f) for f in files]:
            os.chown(n, LISTENER, LISTENER)
    os.chmod(os.path.join(home, "runtime"), 0o700)
    return disc, home, launches, envs


def check_root(root, iso):
    disc, home, launches, envs = prepare_listener(root, iso)
    before = snapshot(disc)
    env = {"HOME": "/home/listener", "USER": "nobody", "PATH": "/usr/local/bin:/usr/bin:/bin",
           "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": "/home/listener/runtime",
           "DBUS_SESSION_BUS_ADDRESS": "disabled:"}

    # No display: a message that says so, and no start.
    p = subprocess.run(in_root(root, ["sh", "-c", "cd /disc && sh autorun.sh"], env), capture_output=True,
                       timeout=60)
    err = p.stderr.decode(errors="replace")
    check(p.returncode != 0 and "DISPLAY" in err, "autorun without a display: code %d, stderr %r" % (p.returncode, err))

    with Session(os.path.join(disc, "tavelo", "bin", "tavelo")) as s:
        s.launches = launches
        s.stderr_path = os.path.join(s.tmp, "autorun.stderr")
        # The X server's abstract socket is reachable from the root: the
        # network namespace is shared.
        start_in_root(s, root, ["sh", "-c", "cd /disc && exec sh autorun.sh"], env, "the first slide")
        log("first slide drawn")

        # The lyrics section, the first album opened, its first song chosen.
        s.click_widget(BITBTN[2])
        rows = wait_until(lambda: (lambda r: r if len(r) == 2 else None)(tree_rows(s.shot())), 10,
                          "the two albums")
        s.click(ARROW_X, row_y(rows[0]))
        rows = wait_until(lambda: (lambda r: r if len(r) == 5 else None)(tree_rows(s.shot())), 10,
                          "the first album's three songs")
        s.click(TREEVIEW1[0] + 70, row_y(rows[1]))
        seen = wait_until(lambda: s.launches_seen(), 15, "the song reaching the recorder")
        check(len(seen) == 1, "%d launches, expected one: %s" % (len(seen), seen))
        cwd, args = seen[0]
        want = "/disc/sound/%s/%s.mp3" % FIRST_SONG
        check([a.replace("file://", "") for a in args] == [want], "recorder got %s, expected %s" % (args, want))
        log("song reached the recorder:", args[0])

        # The players get the listener's environment: nothing of the kit.
        names = glob.glob(os.path.join(envs, "*"))
        check(len(names) == 1, "no environment recorded")
        player_env = dict(line.split("=", 1) for line in open(names[0]).read().splitlines() if "=" in line)
        leaked = sorted(k for k in player_env
                        if k.startswith(("LD_", "QT_", "TAVELO")) or "tavelo" in player_env[k])
        check(not leaked, "the player inherited %s" % {k: player_env[k] for k in leaked})
        # ... and the listener's own standard error (here a file), not the
        # pipe autorun.sh reads the menu's messages from.
        kind = open(glob.glob(os.path.join(home, "stderrs", "*"))[0]).read().strip()
        check(kind.startswith("regular"), "the player's standard error is a %s" % kind)

        # A close request ends the menu and autorun.sh with 0.
        code = s.close_by_window_manager(5)
        check(code == 0, "autorun.sh ended with %s after the close request; stderr: %s" %
              (code, open(s.stderr_path, errors="replace").read()))

    # A double-click on tavelo.desktop starts the same menu from the disc.
    opener = os.path.join(home, "open-desktop")
    write(opener + ".c", OPEN_DESKTOP_C)
    flags = run(["pkg-config", "--cflags", "--libs", "gio-unix-2.0"], "pkg-config gio").split()
    run(["cc", "-o", opener, opener + ".c"] + flags, "compiling the .desktop opener")
    with Session(os.path.join(disc, "tavelo", "bin", "tavelo")) as s:
        s.stderr_path = os.path.join(s.tmp, "desktop.stderr")
        start_in_root(s, root, ["/home/listener/open-desktop", "/disc/tavelo.desktop"], env,
                      "the first slide (from tavelo.desktop)")
        # unshare ignores SIGTERM while it waits; its end takes the namespace along.
        s.app.kill()
        s.app.wait(timeout=10)
    log("tavelo.desktop starts the menu")

    check(snapshot(disc) == before, "the disc tree changed while the menu ran")
    log("disc tree unchanged")
    # From folders whose names Qt cannot hold, the menu runs from a copy.
    for name in (b"disc-$ORIGIN", b"disc-caf\xe9"):
        odd = os.path.join(root.encode(), name)
        os.rename(os.fsencode(disc), odd)
        before_odd = snapshot(odd)
        try:
            with Session(os.path.join(disc, "tavelo", "bin", "tavelo")) as s:
                s.stderr_path = os.path.join(s.tmp, "odd.stderr")
                start_in_root(s, root, ["sh", "-c", 'cd "$1" && exec sh autorun.sh', "sh", b"/" + name], env,
                              "the first slide (from %r)" % name)
                s.app.kill()
                s.app.wait(timeout=10)
            check(snapshot(odd) == before_odd, "the disc tree changed while the menu ran from %r" % name)
        finally:
            os.rename(odd, os.fsencode(disc))
        log("started from", name)

    chmod_writable(disc)
    shutil.rmtree(disc)
    shutil.rmtree(home)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--suite", required=True, choices=sorted(ROOT_PACKAGES))
    ap.add_argument("--root-cache", help="where the clean root is kept (default: a cache outside the clone)")
    a = ap.parse_args()
    for tool in ("Xvfb", "openbox", "xdotool", "xwininfo", "xprop", "import", "xorriso", "patchelf", "cc",
                 "debootstrap", "chroot", "unshare"):
        if not shutil.which(tool):
            print("kit test FAILED: %s is missing (tools/install-deps.sh installs it)" % tool)
            return 1
    if os.geteuid() != 0:
        print("kit test FAILED: it needs root (debootstrap, chroot, namespaces)")
        return 1
    source, work = os.path.abspath(a.source), os.path.abspath(a.work)
    os.makedirs(work, exist_ok=True)
    try:
        kit, iso = make_kit_and_image(source, work)
        check_host(source, kit, work)
        roots = os.environ.get("TAVELO_KIT_ROOTS") or os.path.join(
            os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "tavelo", "kit-roots")
        root = os.path.abspath(a.root_cache or os.path.join(roots, a.suite))
        make_root(root, a.suite)
        check_root(root, iso)
    except Exception:
        traceback.print_exc()
        print("kit test FAILED")
        return 1
    print("kit test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
