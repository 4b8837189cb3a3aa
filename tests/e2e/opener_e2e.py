#!/usr/bin/env python3
"""End-to-end tests of `quorvel FILE`: movies, folders, packages and players
opened as they are, on a virtual display.

    opener_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]

Where the engine's own pixels are not the point, the test control (which
paints the movie's background colour) stands in for the engine; the real
engine is the one the opener finds beside itself, in this build tree.
"""

import os
import pty
import re
import shutil
import subprocess
import sys
import time
import unittest
import struct
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import package_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402

# The background colours of the player tests' movies.
LOOP = (0x20, 0x60, 0xA0)
SMALL = (0xA0, 0x20, 0x20)
MEDIUM = (0x20, 0xA0, 0x20)
LARGE = (0x20, 0x20, 0xA0)
LOGO = (0x14, 0x21, 0x3D)


def zip_locked(path, name, data, password, header):
    """A ZIP archive of one deflated entry under the traditional PKWARE
    encryption with `password` and the fixed 11 bytes `header` (the twelfth
    is the check byte, the CRC's high byte). Fixed, so that whether another
    password passes the one-byte check is the same at every run (with a
    random header, as zip -P makes it, one run in 256 passes it and fails
    later, on the data)."""
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(byte):
        keys[0] = table[(keys[0] ^ byte) & 0xFF] ^ (keys[0] >> 8)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8)

    def encrypt(plain):
        out = bytearray()
        for byte in plain:
            temp = (keys[2] | 2) & 0xFFFF
            out.append(byte ^ (((temp * (temp ^ 1)) >> 8) & 0xFF))
            update(byte)
        return bytes(out)

    for byte in password.encode():
        update(byte)
    crc = zlib.crc32(data)
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15)
    body = encrypt(bytes(header) + bytes([crc >> 24]) + deflate.compress(data) + deflate.flush())
    encoded = name.encode()
    fields = (20, 1, 8, 0, 0x21, crc, len(body), len(data), len(encoded))
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, *fields, 0) + encoded
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, *fields, 0, 0, 0, 0, 0, 0) + encoded
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(body), 0)
    with open(path, "wb") as out:
        out.write(local + body + central + end)


class Suite(package_e2e.Suite):
    """Borrows the package tests' movies and helpers, not their tests."""

    def setUp(self):
        super().setUp()
        # A sanitized build's leak checker reports the suppressions it used
        # on standard error, where these tests read the opener's one line.
        if "suppressions=" in self.env.get("LSAN_OPTIONS", ""):
            self.env["LSAN_OPTIONS"] += ":print_suppressions=0"

    def opener(self):
        return os.path.join(player_e2e.BUILD, "quorvel")

    def use_test_control(self):
        self.register(os.path.join(player_e2e.BUILD, "tests", "quorvel_test_control.so"))

    def open(self, path, title="Quorvel"):
        """Starts `quorvel path` (its stderr a file, so no terminal) and waits for its window."""
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([self.opener(), path], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=stderr)
        self.window = wait_for(lambda: self.find_window(title), control_e2e.ENGINE_START)
        self.assertIsNotNone(self.window, "no window titled %s appeared; stderr: %s" % (title, self.stderr_text()))
        self.assertTrue(wait_for(lambda: self.geometry() and self.geometry()["state"] == "IsViewable"))

    def zip_package(self, name, entries):
        """A plain ZIP archive of {entry name: movie name or bytes}, in that order."""
        path = os.path.join(self.scratch, name)
        with zipfile.ZipFile(path, "w") as archive:
            for entry, content in entries.items():
                if isinstance(content, bytes):
                    archive.writestr(entry, content)
                else:
                    archive.write(os.path.join(self.movies, content), entry)
        return path

    def run_opener(self, *arguments, display=False, terminal=False):
        """Runs quorvel to its end: (status, stdout, stderr). Without `display`
        there is no display to show a message box on; with `terminal` its
        standard error is a terminal."""
        env = dict(self.env)
        if not display:
            env.pop("DISPLAY", None)
        if not terminal:
            done = subprocess.run([self.opener()] + list(arguments), env=env, capture_output=True, text=True,
                                  timeout=60)
            return done.returncode, done.stdout, done.stderr
        controller, tty = pty.openpty()
        try:
            done = subprocess.run([self.opener()] + list(arguments), env=env, stdout=subprocess.PIPE, stderr=tty,
                                  text=True, timeout=60)
        finally:
            os.close(tty)
        said = b""
        try:
            while True:
                chunk = os.read(controller, 4096)
                if not chunk:
                    break
                said += chunk
        except OSError:
            pass
        os.close(controller)
        return done.returncode, done.stdout, said.decode().replace("\r\n", "\n")

    def windows_titled(self, title):
        return [m.group(1) for m in re.finditer(r'\s+(0x[0-9a-f]+) "(.*)":', self.x("xwininfo", "-root", "-tree"))
                if m.group(2) == title]

    def dismiss_message_box(self):
        """Waits for the message box, checks that the run waits for it, and
        presses its OK; GTK's hidden leader window bears the program's name too."""
        box = wait_for(lambda: [w for w in self.windows_titled("quorvel")
                                if (self.geometry(w) or {}).get("state") == "IsViewable"], 20.0)
        self.assertTrue(box, "no message box appeared; stderr: " + self.stderr_text())
        time.sleep(0.5)
        self.assertIsNone(self.player.poll(), "the run did not wait for the message box")
        # OK has the focus: a click into the box, then Return.
        g = wait_for(lambda: self.geometry(box[0]))
        self.x("xdotool", "mousemove", str(g["x"] + g["width"] // 2), str(g["y"] + 10))
        self.x("xdotool", "click", "1")
        self.x("xdotool", "windowfocus", "--sync", box[0])
        self.x("xdotool", "key", "Return")

    # The tests.

    def test_every_kind_of_file_plays_its_movie(self):
        self.use_test_control()
        with_settings = self.folder("with-settings", {
            "small.swf": "small.swf", "medium.swf": "medium.swf",
            "package.ini": b"[SETTINGS]\r\nfullscreen=false\r\nmainmovie=medium.swf\r\n"})
        without_settings = self.folder("without-settings", {"b.swf": "large.swf", "a.swf": "small.swf",
                                                             "sub/0.swf": "loop.swf", "notes.txt": b"notes"})
        signature = self.folder("signature", {"movie": "medium.swf"})
        cases = [
            ("a movie by its name", os.path.join(self.folder("named", {"loop.swf": "loop.swf"}), "loop.swf"),
             LOOP, (550, 400)),
            ("a movie by its signature", os.path.join(signature, "movie"), MEDIUM, (400, 300)),
            ("a ZIP package with package.ini", self.zip_package("with.zip", {
                "package.ini": b"[SETTINGS]\r\nmainmovie=large.swf\r\n", "small.swf": "small.swf",
                "large.swf": "large.swf"}), LARGE, (640, 480)),
            ("a ZIP package without package.ini (its first movie)",
             self.zip_package("without.zip", {"medium.swf": "medium.swf", "large.swf": "large.swf"}),
             MEDIUM, (400, 300)),
            ("a Quorvel player", self.package(["small.swf"]), SMALL, (300, 200)),
            ("a folder with package.ini", with_settings, MEDIUM, (400, 300)),
            ("a folder without package.ini (its first movie by name)", without_settings, SMALL, (300, 200)),
        ]
        windows = os.path.join(player_e2e.BUILD, "tests", "windows", "game.exe")
        if os.path.exists(windows):
            cases.append(("a Windows player", windows, LOGO, None))
        else:
            sys.stderr.write("note: no Windows players (MinGW-w64 is missing); that kind is left out\n")
        for what, path, colour, size in cases:
            with self.subTest(what):
                self.open(path)
                if size:
                    self.placed_at((1024 - size[0]) // 2, (768 - size[1]) // 2, *size)
                self.assertTrue(self.shows(512, 384, colour, 10.0), "%s: the movie never showed (%s)"
                                % (what, self.pixel(512, 384)))
                self.x("xdotool", "key", "Escape")
                self.assertEqual(self.ended(), 0)
                self.assertEqual(os.listdir(self.workspace()), [])
        # Killed: the guard empties the workspace all the same.
        self.open(without_settings)
        self.assertTrue(os.listdir(self.workspace()))
        self.player.kill()
        self.player.wait()
        self.assertTrue(wait_for(lambda: os.listdir(self.workspace()) == [], 10.0),
                        "left in the workspace: %s" % os.listdir(self.workspace()))
        # Nothing registered or installed for the control: the test's own registry stays as it was.
        self.assertFalse(os.path.exists(self.installed()))
        if not os.path.exists(windows):
            self.skipTest("played every kind but a Windows player: MinGW-w64 is missing")

    def test_a_movie_opened_alone_loads_its_siblings_with_the_engine_beside_it(self):
        # No control registered: the opener takes the one beside it, and
        # registers and installs nothing.
        shell = self.folder("shell", {"shell.swf": "shell.swf", "part2.swf": "part2.swf",
                                      "chapters/part3.swf": "part3.swf", "data.txt": b"colour=green",
                                      "data.xml": b'<d colour="green"/>'})
        self.open(os.path.join(shell, "shell.swf"))
        self.placed_at(312, 234, 400, 300)
        for square, what in ((1, "a sibling loaded into a level"), (3, "variables read from a text file"),
                             (4, "an XML file")):
            self.assertTrue(self.square_shows(square, package_e2e.GREEN), "square %d stays red: %s" % (square, what))
        self.quit_with_escape()
        self.assertEqual(os.listdir(self.workspace()), [])
        self.assertIsNone(self.registered_module())
        self.assertFalse(os.path.exists(self.installed()))

    def test_saved_data_survives_a_second_open_of_the_same_file(self):
        first = self.folder("first", {"counter.swf": "counter.swf"})
        # Counted once, so the movie stays.
        self.open(os.path.join(first, "counter.swf"))
        self.assertTrue(self.square_shows(1, package_e2e.RED), "the movie never showed")
        time.sleep(1.0)
        self.assertIsNone(self.player.poll(), "the first run ended by itself")
        self.quit_with_escape()
        self.assertEqual(len(self.saved_folders()), 1, self.saved_folders())
        self.assertTrue(self.saved_folders()[0].startswith("swf-"), self.saved_folders())

        # The same movie, copied elsewhere: its content, not its path, finds
        # the count, and it quits by itself.
        second = self.folder("second", {"counter.swf": "counter.swf"})
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([self.opener(), os.path.join(second, "counter.swf")], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=stderr)
        self.assertEqual(self.ended(control_e2e.ENGINE_START), 0)
        self.assertEqual(len(self.saved_folders()), 1, self.saved_folders())

    def test_bad_input_says_why_on_one_line_and_ends_with_status_2(self):
        self.use_test_control()
        text = os.path.join(self.scratch, "notes.txt")
        with open(text, "w") as out:
            out.write("not a movie\n")
        fake = os.path.join(self.scratch, "fake.swf")
        with open(fake, "w") as out:
            out.write("not a movie either\n")
        damaged = self.zip_package("damaged.zip", {"package.ini": b"[SETTINGS]\r\nmainmovie=a.swf\r\n",
                                                   "a.swf": "small.swf"})
        with open(damaged, "r+b") as out:
            out.truncate(os.path.getsize(damaged) - 30)
        locked = os.path.join(self.scratch, "locked.zip")
        with open(os.path.join(self.movies, "small.swf"), "rb") as movie:
            zip_locked(locked, "small.swf", movie.read(), "another password", b"quorvel-tst")
        empty = os.path.join(self.scratch, "empty")
        os.mkdir(empty)
        document = self.zip_package("document.zip", {"content.xml": b"<text/>"})
        missing = os.path.join(self.scratch, "missing.swf")
        cases = [
            (missing, missing + ": No such file or directory"),
            (text, text + ": not a movie, a package, a player or a folder"),
            (fake, fake + ": not a movie (it does not begin with FWS, CWS or ZWS)"),
            (damaged, damaged + ": a damaged package: "),
            (locked, locked + ": Incorrect password set for the file being decrypted"),
            (empty, empty + ": no movie (*.swf) in the folder"),
            (document, document + ": no movie (*.swf) in the package"),
            (os.path.join(player_e2e.BUILD, "quorvel-player"),
             os.path.join(player_e2e.BUILD, "quorvel-player") + ": an executable that carries no package"),
        ]
        other = os.path.join(player_e2e.BUILD, "tests", "windows", "other.exe")
        if os.path.exists(other):
            cases.append((other, other + ": a Windows executable that carries no package (resource ZIP/129)"))
        for path, words in cases:
            with self.subTest(path):
                status, out, err = self.run_opener(path)
                self.assertEqual(status, 2, err)
                self.assertEqual(out, "")
                lines = err.splitlines()
                self.assertEqual(len(lines), 1, err)
                self.assertTrue(lines[0].startswith("quorvel: " + words), err)
                self.assertEqual(os.listdir(self.workspace()) if os.path.isdir(self.workspace()) else [], [])

        # From a file manager (standard error no terminal, a display): the
        # same words in a message box, which holds the run until it is
        # closed; refused before the run, and found while unpacking.
        for path, words in ((text, "not a movie, a package, a player or a folder"),
                            (locked, "Incorrect password set for the file being decrypted")):
            with self.subTest("message box: " + path):
                self.stderr_path = os.path.join(self.scratch, "stderr.txt")
                with open(self.stderr_path, "w") as stderr:
                    self.player = subprocess.Popen([self.opener(), path], env=self.env, stdout=subprocess.DEVNULL,
                                                   stderr=stderr)
                self.dismiss_message_box()
                self.assertEqual(self.player.wait(10), 2)
                self.assertEqual(self.stderr_text(), "quorvel: %s: %s\n" % (path, words))
                self.assertEqual(os.listdir(self.workspace()) if os.path.isdir(self.workspace()) else [], [])

        # From a terminal: the line alone, no box, even with a display.
        status, _, err = self.run_opener(text, display=True, terminal=True)
        self.assertEqual(status, 2)
        self.assertEqual(err, "quorvel: %s: not a movie, a package, a player or a folder\n" % text)

        # No FILE: the usage; --help and --version as quorvel-pack has them.
        status, out, err = self.run_opener()
        self.assertEqual((status, out), (1, ""))
        self.assertTrue(err.startswith("usage: quorvel FILE\n"), err)
        status, out, err = self.run_opener("--help")
        self.assertEqual((status, err), (0, ""))
        self.assertTrue(out.startswith("usage: quorvel FILE\n"), out)
        status, out, err = self.run_opener("--version")
        self.assertEqual((status, err), (0, ""))
        self.assertRegex(out, r"^quorvel \d+\.\d+\.\d+\nRuffle web player \S+ \(@ruffle-rs/ruffle\)\n$")
        status, _, err = self.run_opener("--bogus")
        self.assertEqual(status, 1)
        self.assertTrue(err.startswith("quorvel: unknown option '--bogus'\nusage: quorvel FILE\n"), err)

    def test_gio_open_plays_a_movie_with_the_desktop_entry(self):
        if not shutil.which("gio"):
            self.skipTest("gio is missing (libglib2.0-bin)")
        if not shutil.which("update-desktop-database"):
            self.skipTest("update-desktop-database is missing (desktop-file-utils)")
        if not os.path.exists("/usr/share/mime/mime.cache"):
            self.skipTest("no shared MIME database (shared-mime-info)")
        self.use_test_control()
        # The entry as the package installs it, in a data folder of the
        # test's own; `quorvel` found on PATH, as in /usr/bin.
        share = os.path.join(self.scratch, "share")
        os.makedirs(os.path.join(share, "applications"))
        shutil.copy(os.path.join(player_e2e.SOURCE, "packaging", "quorvel.desktop"),
                    os.path.join(share, "applications"))
        # What desktop-file-utils' trigger does when the package is installed:
        # GIO finds an application for a type through this cache.
        subprocess.run(["update-desktop-database", os.path.join(share, "applications")], check=True)
        bin_folder = os.path.join(self.scratch, "bin")
        os.mkdir(bin_folder)
        os.symlink(self.opener(), os.path.join(bin_folder, "quorvel"))
        self.env.update(XDG_DATA_DIRS=share + ":/usr/share", PATH=bin_folder + ":" + os.environ["PATH"],
                        XDG_CONFIG_HOME=os.path.join(self.scratch, "config"),
                        XDG_CONFIG_DIRS=os.path.join(self.scratch, "config-dirs"))
        movie = os.path.join(self.folder("downloads", {"game.swf": "medium.swf"}), "game.swf")
        mime = self.x("gio", "info", "-a", "standard::content-type", movie)
        self.assertIn("application/vnd.adobe.flash.movie", mime)
        # The player gio starts inherits gio's standard error: a file, not a
        # pipe that would stay open for as long as the player runs.
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        with open(self.stderr_path, "w") as stderr:
            opened = subprocess.run(["gio", "open", movie], env=self.env, stdout=subprocess.DEVNULL, stderr=stderr,
                                    timeout=30)
        self.assertEqual(opened.returncode, 0, self.stderr_text())
        self.window = wait_for(lambda: self.find_window("Quorvel"), control_e2e.ENGINE_START)
        self.assertIsNotNone(self.window, "gio open started no player")
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.shows(512, 384, MEDIUM, 10.0), "the movie never showed")
        self.x("xdotool", "key", "Escape")
        self.assertTrue(wait_for(lambda: not self.find_window("Quorvel"), 10.0), "the player did not end")
        self.assertTrue(wait_for(lambda: os.listdir(self.workspace()) == [], 5.0))


if __name__ == "__main__":
    player_e2e.own_tests_only(Suite, package_e2e.Suite)
    player_e2e.main()
