#!/usr/bin/env python3
"""End-to-end tests of real packages played by our control.

    package_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402,F401


# Where the squares of the 400 x 300 test movies show on the 1024 x 768
# screen, the window centred: (312, 234) plus the square's middle.
SQUARES = {1: (362, 284), 2: (562, 284), 3: (362, 434), 4: (562, 434)}
RED = (0xC0, 0x20, 0x20)
GREEN = (0x20, 0xC0, 0x20)
BLUE = (0x20, 0x20, 0xC0)


class Suite(control_e2e.ControlTest):
    """Packages of several files with our control, on a virtual display."""

    def folder(self, name, files):
        """A folder of inputs: {relative name: movie name or bytes}."""
        root = os.path.join(self.scratch, name)
        for relative, content in files.items():
            path = os.path.join(root, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            if isinstance(content, bytes):
                with open(path, "wb") as out:
                    out.write(content)
            else:
                shutil.copy(os.path.join(self.movies, content), path)
        return root

    def build(self, inputs, *options, output="game"):
        game = os.path.join(self.scratch, output)
        command = [os.path.join(player_e2e.BUILD, "quorvel-pack"), "build", "-o", game, "--player",
                   os.path.join(player_e2e.BUILD, "quorvel-player"), "--control",
                   os.path.join(player_e2e.BUILD, "libquorvel-flash.so")] + list(options) + list(inputs)
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=self.env)
        return game

    def square_shows(self, number, colour, timeout=control_e2e.ENGINE_START):
        x, y = SQUARES[number]
        return self.shows(x, y, colour, timeout)

    def stderr_text(self):
        with open(self.stderr_path) as err:
            return err.read()

    def quit_with_escape(self):
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def register_link_handler(self):
        """A stand-in for the user's browser and mail program: a desktop entry
        for the test's own user that writes every URI it gets to a file."""
        self.links_log = os.path.join(self.scratch, "links.txt")
        handler = os.path.join(self.scratch, "open-link")
        with open(handler, "w") as out:
            out.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % self.links_log)
        os.chmod(handler, 0o755)
        applications = os.path.join(self.env["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        types = ["x-scheme-handler/http", "x-scheme-handler/https", "x-scheme-handler/mailto", "text/html"]
        with open(os.path.join(applications, "quorvel-test-links.desktop"), "w") as out:
            out.write("[Desktop Entry]\nType=Application\nName=Links\nExec=%s %%u\nMimeType=%s;\n"
                      % (handler, ";".join(types)))
        config = os.path.join(self.scratch, "config")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "mimeapps.list"), "w") as out:
            out.write("[Default Applications]\n")
            for kind in types:
                out.write("%s=quorvel-test-links.desktop\n" % kind)
        self.env["XDG_CONFIG_HOME"] = config

    def opened_links(self):
        try:
            with open(self.links_log) as log:
                return [line.strip() for line in log if line.strip()]
        except OSError:
            return []

    def moving(self, x, y, timeout=10.0):
        """True once the pixel at (x, y) has changed between two looks."""
        first = self.pixel(x, y)
        return wait_for(lambda: self.pixel(x, y) != first, timeout, 0.1)

    # The tests.

    def test_shell_loads_siblings_and_reads_its_data(self):
        inputs = self.folder("shell", {"shell.swf": "shell.swf", "part2.swf": "part2.swf",
                                       "chapters/part3.swf": "part3.swf", "data.txt": b"colour=green",
                                       "data.xml": b'<d colour="green"/>'})
        self.start(self.build([inputs], "--main", "shell.swf"))
        self.placed_at(312, 234, 400, 300)
        for square, what in ((1, "a sibling loaded into a level"), (2, "a sibling loaded into a clip"),
                             (3, "variables read from a text file"), (4, "an XML file")):
            self.assertTrue(self.square_shows(square, GREEN), "square %d stays red: %s" % (square, what))
        self.quit_with_escape()

    def test_links_go_to_the_desktop_and_the_movie_plays_on(self):
        self.register_link_handler()
        inputs = self.folder("links", {"links.swf": "links.swf", "help.html": b"<p>help</p>"})
        self.start(self.build([inputs], "--main", "links.swf"))
        self.placed_at(312, 234, 400, 300)
        # A file of the package is opened as the workspace's file (the
        # handler may get it as a path or as a file: URI).
        workspace_help = os.path.join(os.path.realpath(self.workspace()), "help.html")
        wanted = ["http://example.invalid/blank", "mailto:someone@example.invalid", "http://example.invalid/none",
                  "https://example.invalid/self", workspace_help]

        def opened():
            return [link[len("file://"):] if link.startswith("file://") else link for link in self.opened_links()]
        self.assertTrue(wait_for(lambda: all(w in opened() for w in wanted), control_e2e.ENGINE_START),
                        "links opened: %s; stderr: %s" % (self.opened_links(), self.stderr_text()))
        # The button over the lower half opens one more.
        self.x("xdotool", "mousemove", "512", "530", "click", "1")
        self.assertTrue(wait_for(lambda: "https://example.invalid/button" in self.opened_links(), 20.0),
                        "links opened: %s" % self.opened_links())
        # Scripts and local files are refused, each with one line.
        refusals = ["link refused: links of this kind are not opened: javascript:",
                    "link refused: links of this kind are not opened: file:///etc/passwd"]
        self.assertTrue(wait_for(lambda: all(r in self.stderr_text() for r in refusals), 20.0), self.stderr_text())
        self.assertEqual(len(self.opened_links()), 6, self.opened_links())
        # The page is still there: the bar along the top still moves.
        self.assertTrue(self.moving(542, 274), "the movie stands still after its links")
        self.quit_with_escape()


for name in dir(control_e2e.ControlTest):
    if name.startswith("test_") and name not in vars(Suite):
        setattr(Suite, name, None)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    args, rest = parser.parse_known_args()
    player_e2e.BUILD = os.path.abspath(args.build)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
