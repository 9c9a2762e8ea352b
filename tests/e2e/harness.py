"""The real program in a real X server: a private Xvfb, a window manager, a
private XDG tree with a recorder application, fixture discs, xdotool input and
screenshots read pixel by pixel. Standard library only.

Every process started here is remembered by its id and ended in close(), also
when a check fails half-way."""

import hashlib
import os
import select
import shutil
import signal
import subprocess
import tempfile
import time

SKY_BLUE = (166, 202, 240)

# The recorder application the unit tests' private desktop uses too.
RECORDER = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "recorder.sh"))

# Client rectangles (x, y, w, h) of the window's widgets.
BITBTN = {
    1: (7, 64, 97, 25),    # Slides
    2: (7, 32, 113, 25),   # Lyrics
    3: (7, 96, 81, 25),    # Group
    4: (7, 128, 81, 25),   # Disc
    5: (7, 160, 97, 25),   # Player
    6: (7, 192, 113, 25),  # Help
    7: (15, 416, 97, 25),  # Exit
}
BUTTON1 = (12, 312, 53, 25)
BUTTON2 = (64, 312, 57, 25)
BUTTON3 = (12, 336, 109, 25)
BUTTON4 = (8, 312, 113, 25)
BUTTON5 = (8, 336, 113, 25)
TREEVIEW1 = (456, 8, 232, 441)
IMAGE1 = (136, 8, 313, 433)
IMAGE2 = (136, 8, 313, 145)
RICHEDIT1 = (136, 160, 313, 281)
RICHEDIT2 = (136, 8, 313, 433)
CLIENT_SIZE = (688, 449)
FRAME_POS = (186, 124)

# Accelerator keys of the caption buttons.
ACCEL = {1: "Cyrillic_es", 2: "Cyrillic_te", 3: "Cyrillic_ghe", 4: "Cyrillic_de",
         5: "p", 6: "Cyrillic_pe", 7: "Cyrillic_ve"}


class Failure(AssertionError):
    pass


def check(cond, what):
    if not cond:
        raise Failure(what)


def log(*args):
    print("[%7.2f]" % (time.monotonic() - _T0), *args, flush=True)


_T0 = time.monotonic()


def wait_until(fn, timeout, what, interval=0.1):
    """Polls fn until it returns a true value; fails after timeout seconds."""
    end = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() >= end:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def near(c, ref, tol=40):
    return all(abs(a - b) <= tol for a, b in zip(c, ref))


def exec_quote(arg):
    """One argument of a desktop entry's Exec line."""
    check(not any(c in arg for c in '"`$\\%\n'), "path needs escaping in an Exec line: %r" % arg)
    return '"%s"' % arg


def centre(rect):
    x, y, w, h = rect
    return (x + w // 2, y + h // 2)


# ---------------------------------------------------------------- screenshots

class Shot:
    """One screenshot of the window's client area, addressed in client
    coordinates."""

    def __init__(self, width, height, rgb, origin):
        self.width, self.height, self.rgb = width, height, rgb
        self.ox, self.oy = origin

    def px(self, x, y):
        sx, sy = x + self.ox, y + self.oy
        if not (0 <= sx < self.width and 0 <= sy < self.height):
            raise Failure("pixel (%d, %d) lies off the screen" % (x, y))
        i = (sy * self.width + sx) * 3
        return tuple(self.rgb[i:i + 3])

    def count(self, rect, pred):
        x, y, w, h = rect
        return sum(1 for yy in range(y, y + h) for xx in range(x, x + w) if pred(self.px(xx, yy)))

    def dominant(self, rect):
        x, y, w, h = rect
        tally = {}
        for yy in range(y, y + h, 2):
            for xx in range(x, x + w, 2):
                c = self.px(xx, yy)
                tally[c] = tally.get(c, 0) + 1
        return max(tally, key=tally.get)

    def ink_bands(self, rect, background, tol=60):
        """Runs of pixel rows holding something other than the background:
        one run per line of text."""
        x, y, w, h = rect
        bands, start = [], None
        for yy in range(y, y + h):
            inked = any(sum(abs(a - b) for a, b in zip(self.px(xx, yy), background)) > tol
                        for xx in range(x, x + w))
            if inked and start is None:
                start = yy
            elif not inked and start is not None:
                bands.append((start, yy - 1))
                start = None
        if start is not None:
            bands.append((start, y + h - 1))
        return bands


def parse_ppm(data):
    # P6, maxval 255, with comments allowed between header fields.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    check(fields[0] == b"P6" and fields[3] == b"255", "unexpected screenshot format %r" % fields)
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos:pos + w * h * 3]


# ---------------------------------------------------------------- fixture discs

def make_jpeg(path, width, height, colour, quality=95):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["convert", "-size", "%dx%d" % (width, height), "xc:rgb(%d,%d,%d)" % colour,
                    "-quality", str(quality), "jpg:" + path], check=True, timeout=60)


def make_noise_jpeg(path, width, height):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    subprocess.run(["convert", "-size", "%dx%d" % (width, height), "xc:gray", "+noise", "Random",
                    "-quality", "90", "jpg:" + path], check=True, timeout=60)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


# A song needs only to be an MP3 by name and start like one.
TINY_MP3 = b"ID3\x03\x00\x00\x00\x00\x00\x00" + b"\x00" * 118


def make_disc(root, slides, albums, group_photo=(640, 480, (255, 255, 0)),
              player_photo=(100, 100, (255, 0, 255)), group_text="THE GROUP\nPLAYS\n",
              disc_text="DISC\nLINE\nTHREE\nFOUR\n", help_text="HELP\n"):
    """slides: [(name, w, h, colour)]; albums: {album: {song: lyrics or None}}
    (None leaves the lyrics file out)."""
    for name, w, h, colour in slides:
        make_jpeg(os.path.join(root, "picture", name + ".jpg"), w, h, colour)
    for album, songs in albums.items():
        os.makedirs(os.path.join(root, "sound", album), exist_ok=True)
        os.makedirs(os.path.join(root, "text", album), exist_ok=True)
        for song, lyrics in songs.items():
            write(os.path.join(root, "sound", album, song + ".mp3"), TINY_MP3)
            if lyrics is not None:
                write(os.path.join(root, "text", album, song + ".txt"), lyrics)
    if group_photo:
        w, h, c = group_photo
        make_jpeg(os.path.join(root, "about group", "00 photo.jpg"), w, h, c)
    write(os.path.join(root, "about group", "about.txt"), group_text)
    write(os.path.join(root, "about disk", "about.txt"), disc_text)
    write(os.path.join(root, "help", "help.txt"), help_text)
    if player_photo:
        w, h, c = player_photo
        make_jpeg(os.path.join(root, "player", "00 player.jpg"), w, h, c)
    write(os.path.join(root, "player", "player.exe"), "#!/bin/sh\nexit 0\n")
    write(os.path.join(root, "player", "playersetup.exe"), "#!/bin/sh\nexit 0\n")


def snapshot(root):
    """Everything that a write would change: names, kinds, sizes, modes,
    times and contents."""
    out = {}
    for d, dirs, files in os.walk(root):
        for name in sorted(dirs + files):
            p = os.path.join(d, name)
            st = os.lstat(p)
            digest = ""
            if os.path.isfile(p) and not os.path.islink(p):
                with open(p, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
            out[os.path.relpath(p, root)] = (st.st_mode, st.st_size, st.st_mtime_ns, st.st_ctime_ns, digest)
    st = os.lstat(root)
    out["."] = (st.st_mode, st.st_mtime_ns, st.st_ctime_ns)
    return out


# ---------------------------------------------------------------- the session

class Session:
    """A private X server with a window manager, a private XDG tree and at
    most one running tavelo."""

    def __init__(self, tavelo, wm=True, screen="1024x768x24"):
        self.tavelo = os.path.abspath(tavelo)
        self.screen = screen
        self.tmp = tempfile.mkdtemp(prefix="tavelo-e2e-")
        self.procs = []
        self.app = None
        self.window = None
        self.origin = None
        self.display = None
        self.wm = None
        try:
            self._make_xdg()
            self._start_x()
            if wm:
                self._start_wm()
        except BaseException:
            self.close()
            raise

    # -- environment

    def _make_xdg(self):
        t = self.tmp
        for sub in ("home", "data/applications", "share", "config", "config-dirs", "cache", "runtime", "launches"):
            os.makedirs(os.path.join(t, sub), exist_ok=True)
        os.chmod(os.path.join(t, "runtime"), 0o700)
        os.symlink("/usr/share/mime", os.path.join(t, "share", "mime"))
        self.launches = os.path.join(t, "launches")
        write(os.path.join(t, "data/applications/e2e-recorder.desktop"),
              "[Desktop Entry]\nType=Application\nName=Recorder\nExec=/bin/sh %s %s %%F\nMimeType=audio/mpeg;\n"
              % (exec_quote(RECORDER), exec_quote(self.launches)))
        write(os.path.join(t, "config/mimeapps.list"),
              "[Default Applications]\naudio/mpeg=e2e-recorder.desktop\n")
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": os.path.join(t, "home"),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "XDG_DATA_HOME": os.path.join(t, "data"),
            "XDG_DATA_DIRS": os.path.join(t, "share"),
            "XDG_CONFIG_HOME": os.path.join(t, "config"),
            "XDG_CONFIG_DIRS": os.path.join(t, "config-dirs") + ":/etc/xdg",
            "XDG_CACHE_HOME": os.path.join(t, "cache"),
            "XDG_RUNTIME_DIR": os.path.join(t, "runtime"),
            "DBUS_SESSION_BUS_ADDRESS": "disabled:",
            "GIO_USE_VFS": "local",
            "GSETTINGS_BACKEND": "memory",
            "QT_QPA_PLATFORM": "xcb",
            "NO_AT_BRIDGE": "1",
        }

    def _spawn(self, argv, env=None, **kw):
        p = subprocess.Popen(argv, env=env or self.env, stdin=subprocess.DEVNULL, **kw)
        self.procs.append(p)
        return p

    def _start_x(self):
        r, w = os.pipe()
        try:
            self.xvfb = self._spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", self.screen,
                                     "-nolisten", "tcp", "-noreset"], pass_fds=(w,),
                                    stdout=subprocess.DEVNULL, stderr=open(os.path.join(self.tmp, "xvfb.log"), "wb"))
            os.close(w)
            w = None
            text = b""
            end = time.monotonic() + 30
            while not text.endswith(b"\n"):
                left = end - time.monotonic()
                check(left > 0 and self.xvfb.poll() is None, "Xvfb did not report its display")
                ready, _, _ = select.select([r], [], [], left)
                if ready:
                    chunk = os.read(r, 64)
                    check(chunk, "Xvfb closed its display pipe")
                    text += chunk
        finally:
            os.close(r)
            if w is not None:
                os.close(w)
        self.display = ":" + text.decode().strip()
        self.env["DISPLAY"] = self.display
        log("Xvfb on", self.display)

    def _start_wm(self):
        # The window manager finds its themes in the system's data folders;
        # only the program is kept to the private tree.
        env = dict(self.env, XDG_DATA_DIRS="/usr/local/share:/usr/share", XDG_CONFIG_DIRS="/etc/xdg")
        self.wm = self._spawn(["openbox", "--sm-disable"], env=env, stdout=subprocess.DEVNULL,
                              stderr=open(os.path.join(self.tmp, "openbox.log"), "wb"))

        def running():
            check(self.wm.poll() is None, "openbox ended at start: " +
                  open(os.path.join(self.tmp, "openbox.log"), errors="replace").read())
            return "_NET_WORKAREA(CARDINAL)" in self.x(["xprop", "-root", "_NET_WORKAREA"], check_rc=False)
        wait_until(running, 20, "the window manager")

    # -- X helpers

    def x(self, argv, check_rc=True, timeout=20):
        p = subprocess.run(argv, env=self.env, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        if check_rc and p.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(argv), p.stderr.decode(errors="replace")))
        return p.stdout.decode(errors="replace")

    def xdo(self, *args):
        return self.x(["xdotool"] + [str(a) for a in args])

    def windows(self):
        """Visible top-level windows titled with the application title."""
        out = self.x(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % self.title], check_rc=False)
        return [int(w) for w in out.split()]

    def geometry(self, wid):
        info = self.x(["xwininfo", "-id", str(wid)], check_rc=False)
        g = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height", "Map State"):
                if line.startswith(key + ":"):
                    g[key] = line.split(":", 1)[1].strip()
        if len(g) < 5:
            return None
        return (int(g["Absolute upper-left X"]), int(g["Absolute upper-left Y"]),
                int(g["Width"]), int(g["Height"]), g["Map State"])

    def frame_extents(self, wid):
        out = self.x(["xprop", "-id", str(wid), "_NET_FRAME_EXTENTS"], check_rc=False)
        if "=" not in out:
            return (0, 0, 0, 0)
        return tuple(int(v) for v in out.split("=", 1)[1].split(","))

    def boxes(self):
        """Visible windows with the application's title other than the main
        window: the error boxes."""
        return [w for w in self.windows() if w != self.window]

    # -- the program

    title = "tavelo"

    def start(self, disc, strace_log=None):
        argv = [self.tavelo]
        if strace_log:
            argv = ["strace", "-f", "-qq", "-y", "-o", strace_log,
                    "-e", "trace=%file,%desc", "--"] + argv
        self.stderr_path = os.path.join(self.tmp, "tavelo.stderr")
        self.app = self._spawn(argv, cwd=disc, stdout=subprocess.DEVNULL, stderr=open(self.stderr_path, "wb"))
        log("started tavelo, pid", self.app.pid, "in", disc)
        return self.app

    def main_window(self, timeout=30, boxes_ok=False, size=CLIENT_SIZE):
        """Waits for the main window: visible, with the application's title
        and the window's client size (in screen pixels)."""
        def find():
            check(self.app.poll() is None, "tavelo ended with code %s before its window showed" % self.app.poll())
            for w in self.windows():
                g = self.geometry(w)
                if g and g[4] == "IsViewable" and (g[2], g[3]) == size:
                    return (w, g)
            return None
        wid, g = wait_until(find, timeout, "the main window")
        if self.wm:
            # The frame comes a moment after the window is mapped.
            wait_until(lambda: any(self.frame_extents(wid)), 10, "the window's frame")
            g = self.geometry(wid)
        self.window = wid
        self.origin = (g[0], g[1])
        log("main window", wid, "client at", self.origin)
        return wid

    def shot(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.env,
                              capture_output=True, timeout=30, check=True).stdout
        w, h, rgb = parse_ppm(data)
        return Shot(w, h, rgb, self.origin)

    def click(self, x, y):
        """Left click at client coordinates of the main window."""
        # One xdotool call keeps the move and the click in order.
        self.xdo("mousemove", self.origin[0] + x, self.origin[1] + y, "click", 1)

    def click_widget(self, rect):
        self.click(*centre(rect))

    def key(self, *keys):
        # One call: the keys reach the program in order.
        self.xdo("key", "--clearmodifiers", *keys)

    def accel(self, keysym):
        """Alt+letter. xdotool would map a missing letter onto a spare key
        just for the press and undo that at once, racing the program's
        re-reading of the keyboard map; a whole layout holding the letter
        avoids that."""
        layout = "ru" if keysym.startswith("Cyrillic_") else "us"
        if getattr(self, "layout", "us") != layout:
            self.x(["setxkbmap", "-display", self.display, layout])
            self.layout = layout
            # The program takes up the new map from an event of its own;
            # nothing on screen tells when.
            time.sleep(0.5)
        self.xdo("key", "--clearmodifiers", "alt+" + keysym)

    def alive(self):
        return self.app is not None and self.app.poll() is None

    def wait_exit(self, timeout):
        try:
            return self.app.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("tavelo still runs %.1f s later" % timeout)

    def activate(self, wid, timeout=5):
        """Raises and focuses a window and waits until it has the keyboard."""
        self.x(["xdotool", "windowactivate", "--sync", str(wid)], check_rc=False, timeout=10)
        wait_until(lambda: self.x(["xdotool", "getwindowfocus"], check_rc=False).strip() == str(wid),
                   timeout, "the keyboard focus on window %d" % wid, interval=0.05)

    def close_by_window_manager(self, timeout):
        """Alt+F4 through the window manager; returns the exit code, or None.
        The window manager needs the window focused, so a key that arrives
        before that is asked again. close_took is the time from the key that
        was taken to the end of the program."""
        self.close_took = None
        for attempt in range(3):
            self.activate(self.window)
            asked = time.monotonic()
            self.xdo("key", "alt+F4")
            try:
                code = self.wait_exit(timeout)
                self.close_took = time.monotonic() - asked
                return code
            except Failure:
                log("close request not taken, attempt", attempt + 1)
        return None

    def dismiss_box(self, box, timeout=10):
        """Presses OK on an error box (Return with the box focused) and waits
        until it is gone."""
        self.activate(box)
        self.xdo("key", "Return")
        wait_until(lambda: box not in self.windows(), timeout, "the error box to close")

    def launches_seen(self):
        """Recorded launches, oldest first: (working folder, [arguments])."""
        out = []
        for name in sorted(n for n in os.listdir(self.launches) if not n.startswith(".")):
            with open(os.path.join(self.launches, name), "rb") as f:
                fields = f.read().split(b"\0")
            if fields and fields[-1] == b"":
                fields.pop()
            if fields:
                out.append((fields[0].decode(), [a.decode() for a in fields[1:]]))
        return out

    # -- cleanup

    def close(self):
        # Newest first: the program before the window manager before X.
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    p.send_signal(signal.SIGTERM)
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait(timeout=5)
                except ProcessLookupError:
                    pass
        self.procs = []
        if os.environ.get("TAVELO_E2E_KEEP"):
            log("kept", self.tmp)
        else:
            # Read-only copies need their write bits back before removal.
            for d, dirs, files in os.walk(self.tmp):
                for n in dirs:
                    p = os.path.join(d, n)
                    if not os.path.islink(p):
                        os.chmod(p, 0o755)
            shutil.rmtree(self.tmp, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False
