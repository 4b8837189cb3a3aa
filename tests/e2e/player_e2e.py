#!/usr/bin/env python3
"""End-to-end tests of the packaged player on a virtual display.

Each test starts its own Xvfb (1024 x 768; it picks a free display itself),
packages movies written by the authoring library with quorvel-pack, registers
the test control in a private class registry, runs the player and drives it
with xdotool, reading the windows back with xwininfo.

    player_e2e.py --build BUILD_DIR [unittest arguments, e.g. PlayerTest.test_escape_ends]
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import struct
import tempfile
import time
import unittest
import zlib

BUILD = None
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def contract_clsid():
    """The Flash control's class id, read from the contract header the player and controls share."""
    with open(os.path.join(SOURCE, "platform", "FlashControlAbi.h")) as header:
        return re.search(r'#define QV_FLASH_CLSID "([^"]+)"', header.read()).group(1)


FLASH_CLSID = contract_clsid()
SCREEN = (1024, 768)


def wait_for(predicate, timeout=10.0, interval=0.05):
    """Polls until predicate() returns something true; returns it (None on timeout)."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            return None
        time.sleep(interval)


def png(width, height, rgb):
    """An opaque PNG of one colour."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(rgb) * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class VirtualDisplay:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp",
             "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip():
            self.process.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# The lines a player writes when the engine's WebAssembly panicked or
# trapped (a fault inside the engine, not of ours, that now and then strikes
# a start under the virtual display's software rendering): the player starts
# the engine again, as it must, but what the movie had not saved yet is gone
# with it.
ENGINE_PANICS = ("the movie engine failed (panicked: ", "the movie engine failed (trapped: ")
# The ones engine_e2e makes on purpose.
TEST_PANICS = ("panicked: test panic", "trapped: test trap")


class PlayerTest(unittest.TestCase):
    def _callTestMethod(self, method):
        # A case whose engine panicked could not check what it is about: it
        # shows as skipped, with the panic and its failure, never as passed.
        try:
            super()._callTestMethod(method)
        except Exception as failure:
            panics = self.engine_panics()
            if not panics:
                raise
            raise unittest.SkipTest("the engine panicked, so the case could not check its subject: %s; it failed "
                                    "with: %s" % (panics[0], str(failure)[:500])) from failure

    def engine_panics(self):
        """The engine panics the case's players announced on stderr."""
        texts = list(getattr(self, "said_before", []))
        scratch = getattr(self, "scratch", None)
        if scratch and os.path.isdir(scratch):
            for name in sorted(os.listdir(scratch)):
                if name.startswith("stderr") and name.endswith(".txt"):
                    with open(os.path.join(scratch, name), errors="replace") as said:
                        texts.append(said.read())
        return [line for text in texts for line in text.splitlines()
                if any(p in line for p in ENGINE_PANICS) and not any(p in line for p in TEST_PANICS)]

    def setUp(self):
        # What earlier players of the case said (start() reuses the file).
        self.said_before = []
        self.scratch = tempfile.mkdtemp(prefix="quorvel-e2e-")
        self.display = self.open_display()
        self.player = None
        self.movies = os.path.join(self.scratch, "movies")
        os.mkdir(self.movies)
        subprocess.run([os.path.join(BUILD, "tests", "quorvel-e2e-movies"), self.movies], check=True)
        self.env = dict(os.environ)
        self.env.update(DISPLAY=self.display.name, TMPDIR=os.path.join(self.scratch, "tmp"),
                        XDG_DATA_HOME=os.path.join(self.scratch, "data"), HOME=self.scratch,
                        NO_AT_BRIDGE="1", GDK_BACKEND="x11")
        for name in ("LC_ALL", "LC_MESSAGES", "LANG", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        # The control's log of the engine (its page's messages, the files it
        # asked for, each failure), kept out of the players' stderr: a
        # failure's report ends with it.
        self.env.setdefault("QUORVEL_CONTROL_DEBUG", os.path.join(self.scratch, "engine.log"))
        suppressions = os.path.join(SOURCE, "tests", "lsan.supp")
        if os.path.exists(suppressions) and "suppressions=" not in self.env.get("LSAN_OPTIONS", ""):
            self.env["LSAN_OPTIONS"] = ":".join(
                filter(None, [self.env.get("LSAN_OPTIONS"), "suppressions=" + suppressions]))
        os.makedirs(self.env["TMPDIR"])
        registry = os.path.join(self.env["XDG_DATA_HOME"], "quorvel")
        os.makedirs(registry)
        with open(os.path.join(registry, "classes.ini"), "w") as out:
            out.write("[CLSID]\n%s=%s\n" % (FLASH_CLSID, os.path.join(BUILD, "tests", "quorvel_test_control.so")))

    def tearDown(self):
        if self.player and self.player.poll() is None:
            self.player.kill()
            self.player.wait()
        # What the last player said, for a failure's report (ctest shows a
        # test's output only when it fails).
        stderr_path = getattr(self, "stderr_path", None)
        if stderr_path and os.path.exists(stderr_path) and os.path.getsize(stderr_path):
            with open(stderr_path, errors="replace") as said:
                sys.stderr.write("--- the last player's stderr ---\n" + said.read()[-20000:] + "\n---\n")
        engine_log = os.path.join(self.scratch, "engine.log")
        if os.path.exists(engine_log):
            with open(engine_log, errors="replace") as log:
                lines = [line for line in log.read().splitlines() if "quorvel:frame" not in line]
            sys.stderr.write("--- the control's engine log, its end ---\n" + "\n".join(lines[-80:]) + "\n---\n")
        self.display.close()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def open_display(self):
        return VirtualDisplay()

    # Running and reading the player.

    def package(self, movies, *options):
        game = os.path.join(self.scratch, "game")
        subprocess.run([os.path.join(BUILD, "quorvel-pack"), "build", "-o", game, "--no-control", "--player",
                        os.path.join(BUILD, "quorvel-player")] + list(options)
                       + [os.path.join(self.movies, m) for m in movies],
                       check=True, stdout=subprocess.DEVNULL, env=self.env)
        return game

    def start(self, game, title="Quorvel", **extra_env):
        env = dict(self.env, **extra_env)
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        if os.path.exists(self.stderr_path):
            with open(self.stderr_path, errors="replace") as said:
                self.said_before.append(said.read())
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([game], env=env, stdout=subprocess.DEVNULL, stderr=stderr)
        self.window = wait_for(lambda: self.find_window(title))
        self.assertIsNotNone(self.window, "no window titled %s appeared" % title)
        # Mapped and placed.
        self.assertTrue(wait_for(lambda: self.geometry() and self.geometry()["state"] == "IsViewable"))

    def x(self, *command):
        result = subprocess.run(list(command), env=self.env, capture_output=True, text=True)
        return result.stdout

    def find_window(self, title):
        for line in self.x("xwininfo", "-root", "-tree").splitlines():
            match = re.match(r'\s+(0x[0-9a-f]+) "(.*)":', line)
            if match and match.group(2) == title:
                return match.group(1)
        return None

    def geometry(self, window=None):
        text = self.x("xwininfo", "-id", window or self.window)
        fields = {}
        for key, name in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"), ("width", "Width"),
                          ("height", "Height")):
            match = re.search(r"%s:\s+(-?\d+)" % name, text)
            if not match:
                return None
            fields[key] = int(match.group(1))
        state = re.search(r"Map State:\s+(\w+)", text)
        fields["state"] = state.group(1) if state else ""
        return fields

    def placed_at(self, x, y, width, height, timeout=5.0):
        want = dict(x=x, y=y, width=width, height=height)

        def matches():
            g = self.geometry()
            return g and all(g[k] == v for k, v in want.items())
        if not wait_for(matches, timeout):
            self.fail("window at %s, wanted %s" % (self.geometry(), want))

    def top_level_windows(self):
        """Viewable children of the root: (id, x, y, width, height)."""
        windows = []
        for line in self.x("xwininfo", "-root", "-children").splitlines():
            match = re.match(r'\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)', line)
            if match:
                wid = match.group(1)
                g = self.geometry(wid)
                if g and g["state"] == "IsViewable":
                    windows.append((wid, g["x"], g["y"], g["width"], g["height"]))
        return windows

    def open_menu(self, x, y):
        """Right-clicks at (x, y); returns the menu's window once it stays put.

        Only a new window that shows on the screen counts: with the menu the
        toolkit maps its grab window, input-only at -100,-100, which can be
        listed first; and the position is read again until it stops changing.
        """
        before = {w[0] for w in self.top_level_windows()}
        self.x("xdotool", "mousemove", str(x), str(y))
        self.x("xdotool", "click", "3")

        def shown(w):
            _, wx, wy, width, height = w
            return width > 1 and height > 1 and wx + width > 0 and wy + height > 0 and wx < SCREEN[0] and \
                wy < SCREEN[1]

        last = [None]

        def settled():
            new = [w for w in self.top_level_windows() if w[0] not in before and shown(w)]
            if new and new == last[0]:
                return new
            last[0] = new
            return None

        menu = wait_for(settled, 5.0, 0.1)
        self.assertTrue(menu, "no menu appeared; new windows: %s" % last[0])
        return menu[0]

    def choose(self, downs):
        """Moves down the open menu `downs` times and takes the item."""
        for _ in range(downs):
            self.x("xdotool", "key", "Down")
        self.x("xdotool", "key", "Return")

    def ended(self, timeout=10.0):
        try:
            status = self.player.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("the player did not end")
        if status != 0:
            with open(self.stderr_path) as err:
                sys.stderr.write("player's stderr:\n" + err.read()[-6000:])
        return status

    def workspace(self):
        return os.path.join(self.env["TMPDIR"], "quorvel-%d" % os.getuid(), "KJ")

    # The tests.

    def test_windowed_start_is_centred_and_titled(self):
        self.start(self.package(["loop.swf"]))
        self.placed_at(237, 184, 550, 400)
        self.assertTrue(os.listdir(self.workspace()), "the package was unpacked")

    def test_title_icon_and_class_come_from_the_build(self):
        icon = os.path.join(self.scratch, "icon.png")
        with open(icon, "wb") as out:
            out.write(png(60, 30, (0xFC, 0xA3, 0x11)))
        title = "Space \u2713 Game"
        self.env["LC_ALL"] = "C.UTF-8"  # for the tools that print the title
        self.start(self.package(["loop.swf"], "--title", title, "--icon", icon, "--id", "e2e-look"), title=title)
        self.assertEqual(self.x("xdotool", "getwindowname", str(int(self.window, 16))).strip(), title)
        props = self.x("xprop", "-id", self.window, "WM_CLASS", "_NET_WM_NAME")
        self.assertIn('_NET_WM_NAME(UTF8_STRING) = "%s"' % title, props)
        self.assertIn('WM_CLASS(STRING) = "quorvel-e2e-look", "quorvel-e2e-look"', props)
        # Every size centred on its square: the 60 x 30 image leaves a
        # transparent quarter above and below (blank rows in xprop's picture).
        icons = self.x("xprop", "-id", self.window, "_NET_WM_ICON")
        sizes = re.findall(r"Icon \((\d+) x (\d+)\):\n((?:\t.*\n)*)", icons)
        self.assertEqual([int(w) for w, h, _ in sizes if w == h], [16, 24, 32, 48, 64, 128])
        for size, _, picture in sizes:
            rows = picture.splitlines()
            self.assertEqual(rows[0].strip(), "", "top row of the %s icon" % size)
            self.assertNotEqual(rows[len(rows) // 2].strip(), "", "middle row of the %s icon" % size)

    def test_full_screen_start(self):
        self.start(self.package(["loop.swf"], "--fullscreen"))
        self.placed_at(0, 0, *SCREEN)

    def test_escape_ends_and_empties_the_workspace(self):
        self.start(self.package(["loop.swf"]))
        self.placed_at(237, 184, 550, 400)
        self.x("xdotool", "mousemove", "400", "300")
        self.x("xdotool", "windowfocus", "--sync", str(int(self.window, 16)))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def menu_check(self, lang):
        self.start(self.package(["loop.swf"]), **({"LANG": lang} if lang else {}))
        self.placed_at(237, 184, 550, 400)
        menu = self.open_menu(300, 250)
        _, mx, my, width, height = menu
        self.assertLessEqual(abs(mx - 300), 2)
        self.assertLessEqual(abs(my - 250), 2)
        shot = os.path.join(self.scratch, "menu.png")
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, mx, my), shot],
                       env=self.env, check=True)
        # Three enabled items, then Stop and Play cannot be selected: the
        # fourth step down reaches Quit.
        self.choose(4)
        self.assertEqual(self.ended(), 0)
        return width, height, shot

    def test_menu_at_the_pointer_in_english_and_chinese(self):
        english = self.menu_check(None)
        self.tearDown()
        self.setUp()
        chinese = self.menu_check("zh_CN.UTF-8")
        # The same items in the same places (Quit four steps down in both),
        # drawn with other texts.
        if english[:2] == chinese[:2]:
            compared = subprocess.run(["compare", "-metric", "AE", english[2], chinese[2], "null:"],
                                      capture_output=True, text=True)
            self.assertGreater(float(compared.stderr.split()[0]), 0, "the menus look the same")

    def test_menu_fullscreen_twice_returns_to_the_windowed_place(self):
        self.start(self.package(["loop.swf"]))
        self.placed_at(237, 184, 550, 400)
        self.open_menu(300, 250)
        self.choose(1)
        self.placed_at(0, 0, *SCREEN)
        self.open_menu(500, 500)
        self.choose(1)
        self.placed_at(237, 184, 550, 400)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_movie_goes_full_screen_then_quits(self):
        self.start(self.package(["fsquit.swf"]))
        self.placed_at(0, 0, *SCREEN)
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_play_all_resizes_the_window_for_each_movie(self):
        self.start(self.package(["small.swf", "medium.swf", "large.swf"], "--play-all"))
        self.placed_at(362, 284, 300, 200)
        self.placed_at(312, 234, 400, 300, timeout=10)
        self.placed_at(192, 144, 640, 480, timeout=10)
        self.placed_at(362, 284, 300, 200, timeout=10)
        self.x("xdotool", "mousemove", "500", "400")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_without_display_says_so_and_ends(self):
        env = dict(self.env)
        env.pop("DISPLAY")
        result = subprocess.run([self.package(["loop.swf"])], env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 3)
        self.assertIn("no display", result.stderr)
        self.assertEqual(os.listdir(self.workspace()), [])


def own_tests_only(suite, base):
    """Keeps the tests of `base` from running again as `suite`'s: a suite
    borrows its base's display, folders and helpers, not its tests."""
    for name in dir(base):
        if name.startswith("test_") and name not in vars(suite):
            setattr(suite, name, None)


# The status of a run whose every test skipped; ctest reports such a test
# as skipped (its SKIP_RETURN_CODE), not as passed.
SKIPPED_STATUS = 77


def skip_or_fail(test, reason):
    """Skips `test` for want of root or a mount namespace, or fails it where
    the run must have them (QUORVEL_REQUIRE_ROOT_TESTS=1, as in CI)."""
    if os.environ.get("QUORVEL_REQUIRE_ROOT_TESTS") == "1":
        test.fail(reason + " (QUORVEL_REQUIRE_ROOT_TESTS=1: this run must have them)")
    test.skipTest(reason)


def main():
    """Runs the tests of the __main__ module: --build BUILD_DIR, then the
    arguments of unittest (e.g. Suite.test_name). Ends with 0 when they
    passed, 1 when one failed, SKIPPED_STATUS when every one skipped."""
    global BUILD
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    BUILD = os.path.abspath(args.build)
    result = unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(SKIPPED_STATUS)
    sys.exit(0)


if __name__ == "__main__":
    main()
