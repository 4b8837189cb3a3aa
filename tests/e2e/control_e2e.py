#!/usr/bin/env python3
"""End-to-end tests of our Flash control: packaged players carrying the real
module, on a virtual display, each with a fresh home folder and registry.

    control_e2e.py --build BUILD_DIR [unittest arguments, e.g. ControlTest.test_first_run_installs_and_plays]
"""

import hashlib
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402

# The engine needs a few seconds to start under a virtual display on a busy
# machine; the deadlines leave room for that.
ENGINE_START = 60.0


class ControlTest(player_e2e.PlayerTest):
    """Borrows the player tests' display, scratch folders and window helpers,
    not their tests."""

    def setUp(self):
        super().setUp()
        # With the web engine loaded the leak checker's own tracer crashes on
        # the engine's threads; leaks are checked by the tests without it.
        if "ASAN_OPTIONS" in self.env:
            self.env["ASAN_OPTIONS"] += ":detect_leaks=0"
        # No control known: each test decides what the registry holds.
        os.remove(self.registry_file())
        # No session bus, as on a bare X server or a CI machine: the control
        # brings its own (a test of the user's bus sets it again).
        for name in ("DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"):
            self.env.pop(name, None)

    def registry_file(self):
        return os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "classes.ini")

    def installed(self):
        return os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "system", "flash8.ocx")

    def registered_module(self):
        try:
            with open(self.registry_file()) as registry:
                for line in registry:
                    if line.startswith(player_e2e.FLASH_CLSID + "="):
                        return line.strip().split("=", 1)[1]
        except OSError:
            pass
        return None

    def register(self, module):
        with open(self.registry_file(), "w") as out:
            out.write("[CLSID]\n%s=%s\n" % (player_e2e.FLASH_CLSID, module))

    def package_with_control(self, movies, *options, control=True):
        game = os.path.join(self.scratch, "game")
        command = [os.path.join(player_e2e.BUILD, "quorvel-pack"), "build", "-o", game, "--player",
                   os.path.join(player_e2e.BUILD, "quorvel-player")]
        command += ["--control", os.path.join(player_e2e.BUILD, "libquorvel-flash.so")] if control else ["--no-control"]
        subprocess.run(command + list(options) + movies, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, env=self.env)
        return game

    def pixel(self, x, y):
        # "# ImageMagick pixel enumeration: 1,1,MAX,srgb", then
        # "0,0: (r,g,b) ...", in 8 or 16 bits (white and black come in 16).
        out = self.x("import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "txt:-")
        match = re.search(r"enumeration: \d+,\d+,(\d+),.*?\n0,0: \((\d+),(\d+),(\d+)", out, re.S)
        if not match:
            return None
        maximum = int(match.group(1))
        return tuple(round(int(v) * 255 / maximum) for v in match.groups()[1:])

    def row(self, x, y, width):
        """The colours of `width` pixels from (x, y) rightwards, or None."""
        out = self.x("import", "-window", "root", "-crop", "%dx1+%d+%d" % (width, x, y), "-depth", "8", "txt:-")
        colours = [tuple(int(word[i:i + 2], 16) for i in (1, 3, 5))
                   for word in out.split() if word.startswith("#") and len(word) == 7]
        return colours if len(colours) == width else None

    def still_row(self, x, y, width, drawn, timeout=ENGINE_START):
        """The row of `width` pixels from (x, y) once `drawn(row)` holds and
        two looks in a row see the same pixels: a frame the engine has
        settled on, not one it is still redrawing."""
        last = [None]

        def settled():
            seen = self.row(x, y, width)
            same = seen is not None and seen == last[0] and drawn(seen)
            last[0] = seen
            return seen if same else None
        return wait_for(settled, timeout, 0.3)

    def shows(self, x, y, colour, timeout=ENGINE_START):
        def close():
            seen = self.pixel(x, y)
            return seen and all(abs(a - b) <= 3 for a, b in zip(seen, colour))
        return wait_for(close, timeout, 0.2)

    def logo(self):
        return os.path.join(player_e2e.BUILD, "res", "logo.swf")

    def sample_package(self):
        return self.package_with_control([self.logo()], "--store", "--no-encrypt")

    # The tests.

    def test_first_run_installs_and_plays(self):
        self.start(self.sample_package())
        # The logo's background, below its circle, in the centred movie.
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "the movie never showed")
        # And the circle's orange at its left edge.
        self.assertTrue(self.shows(420, 400, (0xFC, 0xA3, 0x11), 10.0), "the logo's circle never showed")
        self.assertTrue(os.path.exists(self.installed()))
        self.assertEqual(self.registered_module(), os.path.realpath(self.installed()))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_second_run_installs_nothing(self):
        game = self.sample_package()
        self.start(game)
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        before = os.stat(self.installed())
        with open(self.installed(), "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()

        self.start(game)
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        after = os.stat(self.installed())
        self.assertEqual((before.st_ino, before.st_mtime_ns), (after.st_ino, after.st_mtime_ns))
        with open(self.installed(), "rb") as f:
            self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest)

    def test_other_versions_are_replaced(self):
        for version in (7, 9):
            self.register(os.path.join(player_e2e.BUILD, "tests", "quorvel_version%d_control.so" % version))
            if os.path.exists(self.installed()):
                os.remove(self.installed())
            self.start(self.sample_package())
            self.assertTrue(os.path.exists(self.installed()), "version %d was kept" % version)
            self.assertTrue(wait_for(lambda: self.registered_module() == os.path.realpath(self.installed()), 20.0))
            self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "the new control does not play")
            self.x("xdotool", "key", "Escape")
            self.assertEqual(self.ended(), 0)

    def test_without_a_carried_control_nothing_is_installed(self):
        self.start(self.package_with_control([self.logo()], control=False))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertFalse(os.path.exists(self.installed()))
        with open(self.stderr_path) as err:
            self.assertIn("the Flash control cannot be created", err.read())

    def test_movie_quit_ends_the_player(self):
        self.start(self.package_with_control([os.path.join(self.movies, "quits.swf")]))
        self.assertEqual(self.ended(ENGINE_START), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_play_all_moves_on_when_a_movie_loops_and_when_it_stops(self):
        game = self.package_with_control([os.path.join(self.movies, "loop.swf"),
                                          os.path.join(self.movies, "stops.swf")], "--play-all")
        self.start(game)
        # The looping movie gives way at its first loop, the stopped one after
        # its frame has stood still for the stall count; then round again.
        self.placed_at(237, 184, 550, 400)
        self.placed_at(362, 284, 300, 200, timeout=ENGINE_START)
        self.placed_at(237, 184, 550, 400, timeout=30.0)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_escape_and_the_menu_with_the_movie_focused(self):
        self.start(self.sample_package())
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)))
        self.x("xdotool", "mousemove", "512", "400", "click", "1")
        menu = self.open_menu(600, 450)
        self.assertEqual((menu[1], menu[2]), (600, 450))
        self.x("xdotool", "key", "Escape")  # closes the menu
        wait_for(lambda: self.pixel(512, 560) is not None, 2.0)
        self.x("xdotool", "mousemove", "512", "400", "click", "1")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_a_double_scale_screen_gets_a_window_twice_as_large_drawn_at_its_resolution(self):
        self.start(self.package_with_control([os.path.join(self.movies, "hairline.swf")]), GDK_SCALE="2")
        # 200 x 150 movie pixels are 400 x 300 device pixels, centred on the
        # 512 x 384 the screen is in the toolkit's units.
        self.placed_at(312, 234, 400, 300)
        # The half-pixel bar at x = 100 fills device column 312 + 200 and
        # only that one: drawn at the movie's resolution and scaled up, it
        # would be two grey columns. Read from a frame that holds still and
        # shows the movie's black stage a few columns either side: before
        # the movie's first frame the view shows white for a moment.
        black = (0, 0, 0)
        row = self.still_row(509, 384, 7, lambda seen: seen[0] == seen[6] == black and seen[3] != black)
        self.assertTrue(row, "the movie never showed")
        self.assertTrue(all(abs(a - b) <= 3 for a, b in zip(row[3], (0xFF, 0xFF, 0xFF))),
                        "the bar is not one white device pixel: %s" % (row,))
        self.assertEqual([row[2], row[4]], [black] * 2, "the bar is wider than one device pixel: %s" % (row,))
        self.x("xdotool", "key", "Escape")
        self.x("xdotool", "keyup", "Escape")
        self.assertEqual(self.ended(), 0)


player_e2e.own_tests_only(ControlTest, player_e2e.PlayerTest)


if __name__ == "__main__":
    player_e2e.main()
