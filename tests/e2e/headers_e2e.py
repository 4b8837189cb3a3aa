#!/usr/bin/env python3
"""End-to-end tests of real packages played by our control.

    headers_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402,F401


# The movies of HeaderMovies.cpp: name, size, own colour. The window is
# centred on the 1024 x 768 screen, so its middle is always (512, 384).
V6 = ("v6.swf", 300, 200, (0xA0, 0x20, 0x20))
V8 = ("v8.swf", 400, 300, (0x20, 0xA0, 0x40))
V10 = ("v10.swf", 500, 350, (0x20, 0x40, 0xC0))
LZMA = ("lzma.swf", 480, 360, (0x80, 0x60, 0x20))
MIDDLE = (512, 384)
# A movie's turn in play-all may wait for the engine to start first.
TURN = control_e2e.ENGINE_START


def centred(width, height):
    return ((player_e2e.SCREEN[0] - width) // 2, (player_e2e.SCREEN[1] - height) // 2, width, height)


class Suite(control_e2e.ControlTest):
    """Packages with our control, on a virtual display."""

    def setUp(self):
        super().setUp()
        self.hogs = []

    def tearDown(self):
        for hog in self.hogs:
            hog.kill()
            hog.wait()
        super().tearDown()

    def movie(self, name):
        return os.path.join(self.movies, name)

    def placed(self, width, height):
        g = self.geometry()
        return g and (g["x"], g["y"], g["width"], g["height"]) == centred(width, height)

    def takes_its_turn(self, movie, timeout=TURN):
        """Waits until the window has `movie`'s size while the movie's own
        colour shows in it: the movie is the current one and is drawn."""
        name, width, height, colour = movie

        def showing():
            if not self.placed(width, height):
                return False
            seen = self.pixel(*MIDDLE)
            return seen and all(abs(a - b) <= 3 for a, b in zip(seen, colour)) and self.placed(width, height)
        if not wait_for(showing, timeout, 0.2):
            self.fail("%s never showed its colour %s at its size; window %s, middle pixel %s"
                      % (name, colour, self.geometry(), self.pixel(*MIDDLE)))

    # The tests.

    def test_play_all_shows_each_movies_own_colour(self):
        # Only v6's colour is in its header; v8 and v10 open with their file
        # attributes, and must show their own colour, not white and not v6's.
        self.start(self.package_with_control([self.movie(m[0]) for m in (V6, V8, V10)], "--play-all"))
        for movie in (V6, V8, V10, V6):
            self.takes_its_turn(movie)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_an_lzma_movie_is_placed_at_its_size(self):
        name, width, height, colour = LZMA
        self.start(self.package_with_control([self.movie(name)]))
        self.placed_at(*centred(width, height))
        # And the engine plays it: its own colour (the header's is not used,
        # the movie opens with its file attributes).
        self.assertTrue(self.shows(*MIDDLE, colour), "the LZMA movie never showed its colour")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_a_lone_actionscript3_movie_in_play_all_plays_on(self):
        # The square is left in the movie's first second, in the middle for
        # the next eight, then right. A movie started over (the player
        # reloads a lone movie once the stall count runs out, about 5
        # seconds in) shows it left again.
        self.start(self.package_with_control([self.movie("as3.swf")], "--play-all"))
        x, y, _, _ = centred(400, 300)
        left, middle, right = (x + 70, y + 150), (x + 200, y + 150), (x + 330, y + 150)
        red = (0xC0, 0x20, 0x20)
        self.assertTrue(self.shows(*middle, red), "the movie never played its second second")
        seen = {"left": 0}

        def at_the_right():
            if self.shows(*left, red, timeout=0):
                seen["left"] += 1
            return self.shows(*right, red, timeout=0)
        self.assertTrue(wait_for(at_the_right, TURN, 0.1), "the movie never got to its 10th second")
        self.assertEqual(seen["left"], 0, "the movie was started over")
        # Nor later: for well past another stall count it stays at the right.
        self.assertFalse(wait_for(lambda: not self.shows(*right, red, timeout=0), 7.0, 0.2),
                         "the movie was started over")
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_the_player_names_the_packages_saved_data_folder(self):
        # The test control writes the folder it is given to the player's
        # stderr; the package's id, from --id, names it.
        self.register(os.path.join(player_e2e.BUILD, "tests", "quorvel_test_control.so"))
        self.start(self.package_with_control([self.movie(V6[0])], "--id", "e2e-game_1", control=False))
        folder = os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "saved", "e2e-game_1")

        def named():
            with open(self.stderr_path) as err:
                return "test control: saved data in %s\n" % folder in err.read()
        self.assertTrue(wait_for(named, 10.0), "the control was not given %s" % folder)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertFalse(os.path.exists(folder), "the player made the folder itself")

    def test_play_all_gives_every_movie_its_turn_beside_a_cpu_hog(self):
        for _ in range(os.cpu_count() or 1):
            self.hogs.append(subprocess.Popen(["yes"], stdout=subprocess.DEVNULL))
        self.start(self.package_with_control([self.movie(m[0]) for m in (V6, V8, V10)], "--play-all"))
        for movie in (V6, V8, V10, V6):
            self.takes_its_turn(movie, 2 * TURN)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)


player_e2e.own_tests_only(Suite, control_e2e.ControlTest)


if __name__ == "__main__":
    player_e2e.main()
