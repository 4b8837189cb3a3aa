#!/usr/bin/env python3
"""End-to-end tests of real packages played by our control.

    package_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402
import xscreen  # noqa: E402
from player_e2e import wait_for  # noqa: E402,F401


# Where the squares of the 400 x 300 test movies show on the 1024 x 768
# screen, the window centred: (312, 234) plus the square's middle.
SQUARES = {1: (362, 284), 2: (562, 284), 3: (362, 434), 4: (562, 434)}
RED = (0xC0, 0x20, 0x20)
GREEN = (0x20, 0xC0, 0x20)
BLUE = (0x20, 0x20, 0xC0)
MEDIUM = (0x20, 0xA0, 0x20)


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

    def pixel(self, x, y):
        """The colour at (x, y), read from its hexadecimal form (ImageMagick
        names some colours, white among them, instead of giving srgb())."""
        out = self.x("import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-")
        for word in out.split():
            if word.startswith("#") and len(word) == 7:
                return tuple(int(word[i:i + 2], 16) for i in (1, 3, 5))
        return None

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
        # It also notes the session bus it was given: the player's own must
        # not reach a program that can outlive it.
        self.links_bus_log = os.path.join(self.scratch, "links-bus.txt")
        with open(handler, "w") as out:
            out.write('#!/bin/sh\nprintf "%%s\\n" "${DBUS_SESSION_BUS_ADDRESS:-none}" >> "%s"\n'
                      'printf "%%s\\n" "$1" >> "%s"\n' % (self.links_bus_log, self.links_log))
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

    def start_sound_server(self):
        """A private PulseAudio server with one null sink, the default, whose
        monitor a test records. Stopped in tearDown."""
        base = os.path.join(self.scratch, "pulse")
        os.makedirs(base)
        socket = os.path.join(base, "native")
        env = dict(self.env, PULSE_RUNTIME_PATH=os.path.join(base, "run"), PULSE_STATE_PATH=os.path.join(base, "state"),
                   HOME=base)
        self.pulse = subprocess.Popen(
            ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "--use-pid-file=no",
             "-L", "module-native-protocol-unix socket=%s auth-anonymous=1" % socket,
             "-L", "module-null-sink sink_name=quorvel_test", "-L", "module-always-sink"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop_sound_server)
        self.env["PULSE_SERVER"] = "unix:" + socket
        self.env["PULSE_SINK"] = "quorvel_test"
        up = wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env, capture_output=True).returncode == 0,
                      10.0)
        self.assertTrue(up, "the sound server did not start")

    def stop_sound_server(self):
        self.pulse.terminate()
        try:
            self.pulse.wait(5)
        except subprocess.TimeoutExpired:
            self.pulse.kill()

    def record_peak(self, seconds):
        """The loudest sample on the null sink over `seconds`, 0 to 32767."""
        recording = os.path.join(self.scratch, "sound.raw")
        with open(recording, "wb") as out:
            recorder = subprocess.Popen(["parec", "-d", "quorvel_test.monitor", "--raw", "--format=s16le",
                                         "--channels=1", "--rate=22050"], env=self.env, stdout=out)
            time.sleep(seconds)
            recorder.terminate()
            recorder.wait()
        with open(recording, "rb") as data:
            raw = data.read()
        samples = memoryview(raw[:len(raw) // 2 * 2]).cast("h")
        return max((abs(v) for v in samples), default=0)

    def ink(self, x, y, width, height):
        """How many pixels of the area are dark (text drawn on white)."""
        shot = os.path.join(self.scratch, "ink.png")
        self.x("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y), shot)
        out = self.x("convert", shot, "-colorspace", "gray", "-threshold", "50%", "-format", "%[fx:w*h*(1-mean)]",
                     "info:")
        try:
            return int(float(out.strip()))
        except ValueError:
            return 0

    def text_shot(self, name):
        """The text field's area of the screen, saved to compare."""
        shot = os.path.join(self.scratch, name)
        subprocess.run(["import", "-window", "root", "-crop", "360x60+332+334", shot], env=self.env, check=True)
        return shot

    def without_cjk_fonts(self):
        """A fontconfig set-up with the DejaVu fonts only."""
        config = os.path.join(self.scratch, "fonts.conf")
        with open(config, "w") as out:
            out.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n<fontconfig>\n'
                      "<dir>/usr/share/fonts/truetype/dejavu</dir>\n<cachedir>%s</cachedir>\n</fontconfig>\n"
                      % os.path.join(self.scratch, "fontcache"))
        return {"FONTCONFIG_FILE": config}

    def show_text(self, movie, **env):
        """Plays a device-text movie; the ink of its field once it shows."""
        # The window is the stage's white from its first paint, so the white
        # says nothing: the engine's own word that it started the movie does
        # (its start-up timeline on stderr). Then a little time for the text
        # to settle.
        self.start(self.build([os.path.join(self.movies, movie), os.path.join(self.movies, "part2.swf")],
                              "--main", movie), QUORVEL_TIMELINE="2", **env)
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(wait_for(lambda: " movie started\n" in self.stderr_text(), control_e2e.ENGINE_START),
                        "%s never started; stderr: %s" % (movie, self.stderr_text()))
        time.sleep(1.0)
        return self.ink(332, 334, 360, 60)

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

    def test_a_key_held_before_any_click_reaches_the_movie(self):
        self.start(self.build([os.path.join(self.movies, "keys.swf"), os.path.join(self.movies, "part2.swf")],
                              "--main", "keys.swf"))
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.square_shows(1, RED), "the movie never showed")
        self.x("xdotool", "windowfocus", "--sync", str(int(self.window, 16)))
        self.x("xdotool", "keydown", "a")
        try:
            self.assertTrue(self.square_shows(1, GREEN, 10.0), "the movie never saw the key")
        finally:
            self.x("xdotool", "keyup", "a")
        self.assertTrue(self.square_shows(1, RED, 10.0), "the movie never saw the key go up")
        # Escape still ends the player with the movie focused.
        self.quit_with_escape()

    def test_sound_plays_without_a_click_and_stops_with_the_player(self):
        self.start_sound_server()
        self.start(self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf")],
                              "--main", "stream.swf"))
        self.placed_at(312, 234, 400, 300)
        # The streaming sound drives the frames: they step on without a click.
        for colour in (RED, GREEN, BLUE):
            self.assertTrue(self.square_shows(1, colour), "the movie stands still")
        self.assertGreater(self.record_peak(2.0), 3000, "no sound reached the sound server")
        self.quit_with_escape()
        self.assertLess(self.record_peak(1.0), 100, "sound went on after the player ended")

    def test_the_bands_around_a_letterboxed_movie_show_its_colour(self):
        self.start(self.build([os.path.join(self.movies, "part2.swf"), os.path.join(self.movies, "keys.swf")],
                              "--main", "part2.swf", "--fullscreen"))
        self.placed_at(0, 0, *player_e2e.SCREEN)
        # The 400 x 300 stage fills the height; the bands left and right are
        # the movie's blue, not black.
        self.assertTrue(self.shows(512, 384, BLUE), "the movie never showed")
        self.assertTrue(self.shows(10, 384, BLUE, 5.0), "the band shows %s" % (self.pixel(10, 384),))
        self.assertTrue(self.shows(1013, 384, BLUE, 5.0), "the band shows %s" % (self.pixel(1013, 384),))
        self.quit_with_escape()

    def test_from_its_first_paint_the_window_shows_only_the_stage_colour_or_black(self):
        # part2.swf: a blue 400 x 300 stage with a green square at (10, 10),
        # 80 pixels wide. Every few milliseconds from the launch until that
        # square shows, the window is read whole (every fourth pixel; the
        # square's place and its edges aside): GTK's grey, the engine's
        # white or any other colour there is a flash.
        game = self.build([os.path.join(self.movies, "part2.swf")], "--main", "part2.swf")
        screen = xscreen.Screen(self.display.name)
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([game], env=self.env, stdout=subprocess.DEVNULL, stderr=stderr)
        start = time.monotonic()

        def near(a, b):
            return all(abs(p - q) <= 8 for p, q in zip(a, b))

        first_paint, first_frame, flashes = None, None, {}
        try:
            while time.monotonic() - start < control_e2e.ENGINE_START and self.player.poll() is None:
                box = screen.window()
                image = screen.grab(box) if box and box[2:] == (400, 300) else None
                if image is None or (image.width, image.height) != (400, 300):
                    time.sleep(0.002)
                    continue
                at = image.at
                now = time.monotonic() - start
                first_paint = first_paint if first_paint is not None else now
                if near(at(50, 50), GREEN):
                    first_frame = now
                    break
                for y in range(0, 300, 4):
                    for x in range(0, 400, 4):
                        if 6 <= x <= 94 and 6 <= y <= 94:
                            continue
                        colour = at(x, y)
                        if not near(colour, BLUE) and not near(colour, (0, 0, 0)):
                            flashes.setdefault("#%02x%02x%02x" % colour, round((now - first_paint) * 1000))
        finally:
            screen.close()
        self.assertIsNotNone(first_frame, "the movie's first frame never showed")
        self.assertEqual(flashes, {}, "colours other than the stage's and black before the first frame "
                         "(colour: ms after the first paint)")
        self.quit_with_escape()

    def session_buses(self):
        """Our dbus-daemons serving this test (their sockets are in its TMPDIR)
        and the sockets there."""
        daemons = []
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                        words = cmdline.read().decode(errors="replace").split("\0")
                except OSError:
                    continue
                if words[0].endswith("dbus-daemon") and any(self.env["TMPDIR"] in w for w in words):
                    daemons.append(int(entry))
        sockets = [name for name in os.listdir(self.env["TMPDIR"]) if name.startswith("quorvel-bus-")]
        return daemons, sockets

    def test_without_a_session_bus_sound_is_quiet_on_stderr_and_the_bus_goes_with_the_player(self):
        # The user's own bus, where there is one, is the one used (the last round).
        self.start_sound_server()
        game = self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf")],
                          "--main", "stream.swf")
        for ending in ("escape", "kill"):
            self.start(game)
            self.placed_at(312, 234, 400, 300)
            # The first frame may take the engine's whole start (slow under
            # the sanitizers); then the sound drives the frames on.
            self.assertTrue(self.square_shows(1, RED), "the movie never showed")
            self.assertTrue(self.cycling(), "the movie never played")
            self.assertGreater(self.record_peak(1.0), 3000, "no sound reached the sound server")
            daemons, sockets = self.session_buses()
            self.assertEqual((len(daemons), len(sockets)), (1, 1), "the player's bus: %s" % ((daemons, sockets),))
            if ending == "escape":
                self.quit_with_escape()
                # WebKit's media session found a bus: no warning for it.
                self.assertNotIn("D-Bus", self.stderr_text())
            else:
                self.player.kill()
                self.player.wait()
            self.assertTrue(wait_for(lambda: self.session_buses() == ([], []), 5.0),
                            "left after %s: %s" % (ending, self.session_buses(),))
        # With the user's own bus the player starts none. The bus is a
        # desktop's session bus, with the standard configuration: it starts
        # the services that are asked for (the accessibility bus's launcher
        # among them) as a desktop's does.
        user_bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--nopidfile", "--nosyslog", "--print-pid=1",
                                   "--print-address=1", "--address=unix:path=" + os.path.join(self.scratch, "bus")],
                                  env=self.env, capture_output=True, text=True, check=True).stdout.split()
        self.addCleanup(os.kill, int(user_bus[1]), signal.SIGTERM)
        self.start(game, DBUS_SESSION_BUS_ADDRESS=user_bus[0])
        self.assertTrue(self.square_shows(1, RED), "the movie never showed on the user's bus")
        self.assertTrue(self.cycling(), "the movie never played on the user's bus: " + self.stderr_text())
        self.assertEqual(self.session_buses(), ([], []))
        self.quit_with_escape()
        self.assertNotIn("D-Bus", self.stderr_text())

    def test_sound_stops_when_play_all_moves_on(self):
        self.start_sound_server()
        self.start(self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "stops.swf")],
                              "--play-all"))
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.square_shows(1, GREEN), "the movie never played")
        self.assertGreater(self.record_peak(1.0), 3000, "no sound reached the sound server")
        # The streaming movie loops after three seconds; the silent one follows.
        self.placed_at(362, 284, 300, 200, timeout=control_e2e.ENGINE_START)
        # Once the silent movie shows (the window is placed before the last
        # movie is removed), and the sound already on its way has played out.
        self.assertTrue(self.shows(512, 384, (0xA0, 0x20, 0x20)), "the silent movie never showed")
        time.sleep(0.5)
        self.assertLess(self.record_peak(1.5), 100, "the last movie's sound went on")
        self.quit_with_escape()

    def test_nothing_of_a_movie_goes_on_after_play_all_moves_on_and_both_keep_what_they_saved(self):
        # lingers.swf loops once a second and, from its first loop on, would
        # quit the player two seconds later; counter.swf stops on its frame,
        # so play-all stays on it for the stall count (some five seconds).
        self.start(self.build([os.path.join(self.movies, "lingers.swf"), os.path.join(self.movies, "counter.swf")],
                              "--play-all"))
        self.assertTrue(self.square_shows(1, BLUE), "the looping movie never played")
        self.assertTrue(self.square_shows(1, RED), "play-all never moved on")
        time.sleep(3.0)
        self.assertIsNone(self.player.poll(), "the last movie's interval went on after the change")
        self.assertTrue(self.shows(*SQUARES[1], RED, 0.5), "the stopped movie did not stay")
        self.quit_with_escape()
        # The outgoing movie wrote what it saved as it went, the other as the
        # player ended.
        self.assertEqual(len(self.saved_folders()), 1, self.saved_folders())
        keys = self.saved_keys()
        self.assertTrue(any("lingers" in key for key in keys), keys)
        self.assertTrue(any("progress" in key for key in keys), keys)

    def test_a_long_play_all_hands_over_to_a_fresh_engine_and_loses_nothing(self):
        # A fresh web process takes over after every movie here (the player's
        # own turn is 64 movies) once it is ready. stops.swf stops on its
        # fourth frame, so play-all stays on it for the stall count: the next
        # view has long made the movie after it ready, and that change is a
        # hand-over whatever the machine's speed.
        self.start(self.build([os.path.join(self.movies, name) for name in ("lingers.swf", "counter.swf",
                                                                            "stops.swf", "medium.swf")],
                              "--play-all"),
                   QUORVEL_ENGINE_RENEW_MOVIES="1", QUORVEL_TIMELINE="2")
        self.assertTrue(self.square_shows(1, BLUE), "the looping movie never played")
        self.assertTrue(self.square_shows(1, RED, 20.0), "play-all never moved on")
        # The looping movie's interval, had it outlived its movie, would
        # quit the player two seconds after its loop.
        time.sleep(3.0)
        self.assertIsNone(self.player.poll(), "a movie's interval went on after play-all moved on")
        self.assertTrue(self.shows(512, 384, (0xA0, 0x20, 0x20), 20.0), "play-all stopped at the counter")
        self.assertTrue(self.shows(512, 384, MEDIUM, 20.0), "play-all stopped at the stopped movie")
        self.assertIn("view handed over", self.stderr_text())
        # The views that handed over went with their web processes: the one
        # in sight and the next are left.
        self.assertTrue(wait_for(lambda: len(self.web_processes()) <= 2, 10.0), self.web_processes())
        # The counter's second run, in another view than its first, finds
        # its count and quits.
        try:
            status = self.player.wait(control_e2e.ENGINE_START)
        except subprocess.TimeoutExpired:
            self.fail("the counter's second run did not find its count across the hand-over")
        self.assertEqual(status, 0)
        said = [line for line in self.stderr_text().splitlines() if not line.startswith("quorvel-timeline ")]
        self.assertEqual(said, [])
        keys = self.saved_keys()
        self.assertTrue(any("lingers" in key for key in keys), keys)
        self.assertTrue(any("progress" in key for key in keys), keys)

    def test_chinese_device_text_shows_in_sans_and_in_a_named_font(self):
        for movie in ("cjk_sans.swf", "cjk_named.swf"):
            self.assertGreater(self.show_text(movie), 300, "no ink for %s" % movie)
            self.quit_with_escape()
        # Without a font that covers Chinese there is nothing to draw it with.
        self.assertLess(self.show_text("cjk_sans.swf", **self.without_cjk_fonts()), 50)
        self.quit_with_escape()

    def test_latin_device_text_looks_the_same_with_and_without_cjk_fonts(self):
        self.assertGreater(self.show_text("latin_sans.swf"), 300)
        with_cjk = self.text_shot("with.png")
        self.quit_with_escape()
        self.show_text("latin_sans.swf", **self.without_cjk_fonts())
        without = self.text_shot("without.png")
        self.quit_with_escape()
        compared = subprocess.run(["compare", "-metric", "AE", with_cjk, without, "null:"], capture_output=True,
                                  text=True)
        self.assertEqual(float(compared.stderr.split()[0]), 0, "Latin text changed with the CJK fonts")

    def saved_folders(self):
        saved = os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "saved")
        return sorted(os.listdir(saved)) if os.path.isdir(saved) else []

    def saved_keys(self):
        """The keys of what the movies of the one package saved, on disk."""
        saved = os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "saved", self.saved_folders()[0],
                             "local-storage.txt")
        with open(saved, encoding="utf-8") as store:
            return [line.split(" ", 1)[0] for line in store.read().splitlines()[1:]]

    def test_saved_progress_survives_the_run_and_stays_with_its_package(self):
        first = self.build([os.path.join(self.movies, "counter.swf"), os.path.join(self.movies, "part2.swf")],
                           "--main", "counter.swf", output="first")
        other = self.build([os.path.join(self.movies, "counter.swf"), os.path.join(self.movies, "part2.swf")],
                           "--main", "counter.swf", output="other")
        # First run: counted once, so the movie stays.
        self.start(first)
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.square_shows(1, RED), "the movie never showed")
        time.sleep(1.0)
        self.assertIsNone(self.player.poll(), "the first run ended by itself")
        self.quit_with_escape()
        self.assertEqual(os.listdir(self.workspace()), [])
        self.assertEqual(len(self.saved_folders()), 1, self.saved_folders())
        # The count is on disk once the run has ended (the movie never
        # flushes it: the engine writes it as the movie goes).
        saved = os.path.join(self.env["XDG_DATA_HOME"], "quorvel", "saved", self.saved_folders()[0],
                             "local-storage.txt")
        with open(saved) as items:
            self.assertTrue(any(line.split(" ")[0].endswith("/progress") for line in items), "the count was not saved")

        # Another package with a movie of the same name starts from nothing.
        self.start(other)
        self.assertTrue(self.square_shows(1, RED), "the other package saw the first one's data")
        time.sleep(1.0)
        self.assertIsNone(self.player.poll(), "the other package saw the first one's data")
        self.quit_with_escape()
        self.assertEqual(len(self.saved_folders()), 2, self.saved_folders())

        # Second run of the first: it finds its count and quits by itself.
        self.start(first)
        try:
            status = self.player.wait(control_e2e.ENGINE_START)
        except subprocess.TimeoutExpired:
            self.fail("the second run did not end by itself; square 1 shows %s (red: the movie found no count, "
                      "green: it found it and did not quit, neither: the movie never showed)"
                      % (self.pixel(*SQUARES[1]),))
        self.assertEqual(status, 0, self.stderr_text())
        # Only the saved data is kept: nothing of the web view's own.
        kept = []
        for root, _, files in os.walk(os.path.join(self.env["XDG_DATA_HOME"], "quorvel")):
            kept += [os.path.relpath(os.path.join(root, f), self.env["XDG_DATA_HOME"]) for f in files]
        self.assertEqual(sorted(k for k in kept if not k.startswith("quorvel/system/") and k != "quorvel/classes.ini"),
                         sorted("quorvel/saved/%s/local-storage.txt" % f for f in self.saved_folders()))
        for leftover in (".cache/webkitgtk", ".local/share/webkitgtk", "data/webkitgtk"):
            self.assertFalse(os.path.exists(os.path.join(self.scratch, leftover)), leftover)

    def test_a_count_saved_as_the_player_ends_outlives_an_engine_that_answers_late(self):
        """The web process answers the end of the run 3 s late, as on a
        loaded machine: what the movie saved is written all the same, and
        the next run finds it."""
        game = self.build([os.path.join(self.movies, "counter.swf"), os.path.join(self.movies, "part2.swf")],
                          "--main", "counter.swf")
        self.start(game)
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.square_shows(1, RED), "the movie never showed")
        frozen = self.web_processes()
        self.assertTrue(frozen, "no web process under the player")
        # What the end of the run says, apart from the start's (where the
        # engine's watch may have had to start it again: not this case's
        # concern).
        said_at_the_start = len(self.stderr_text())
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        try:
            self.x("xdotool", "key", "Escape")
            time.sleep(3.0)
        finally:
            for pid in frozen:
                os.kill(pid, signal.SIGCONT)
        self.assertEqual(self.ended(), 0)
        self.assertEqual(len(self.saved_folders()), 1, "the count was lost: " + self.stderr_text())
        # A late answer is not a crash: the engine is not started again.
        self.assertNotIn("starting it again", self.stderr_text()[said_at_the_start:])
        self.start(game)
        self.assertEqual(self.ended(control_e2e.ENGINE_START), 0)

    def test_play_all_plays_a_movie_stored_under_a_folder(self):
        inputs = self.folder("levels", {"intro.swf": "small.swf", "levels/one.swf": "medium.swf"})
        self.start(self.build([inputs], "--play-all"))
        self.placed_at(362, 284, 300, 200)
        self.placed_at(312, 234, 400, 300, timeout=control_e2e.ENGINE_START)
        self.placed_at(362, 284, 300, 200, timeout=30.0)
        self.quit_with_escape()

    def test_a_windows_player_made_into_a_linux_one_plays(self):
        windows = os.path.join(player_e2e.BUILD, "tests", "windows", "game.exe")
        if not os.path.exists(windows):
            self.skipTest("no Windows players: MinGW-w64 is missing (scripts/setup.sh installs it)")
        self.start(self.build([windows]))
        # The logo's background, below its circle, in the centred movie.
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "the movie never showed")
        self.quit_with_escape()

    def web_processes(self):
        """The engine's web processes under the player, by pid."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry) as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
                with open("/proc/%s/comm" % entry) as comm:
                    name = comm.read().strip()
            except OSError:
                continue
            if int(fields[1]) == self.player.pid and name.startswith("WebKitWebProces"):
                found.append(int(entry))
        return found

    def cycling(self):
        """True once square 1 has shown each of its three colours again. The
        first may wait for the engine's whole start (a restarted engine's,
        slow under the sanitizers); then each follows within 20 s."""
        return self.square_shows(1, RED) and all(self.square_shows(1, colour, 20.0) for colour in (GREEN, BLUE))

    def test_the_engine_comes_back_when_its_web_process_dies(self):
        self.start(self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf")],
                              "--main", "stream.swf"))
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.cycling(), "the movie never played")
        for death in (1, 2):
            victims = wait_for(self.web_processes, 20.0)
            self.assertTrue(victims, "no web process under the player")
            for pid in victims:
                os.kill(pid, signal.SIGKILL)
            self.assertTrue(wait_for(lambda: self.stderr_text().count("starting it again") >= death, 20.0),
                            self.stderr_text())
            self.assertTrue(self.cycling(), "the movie did not come back after death %d" % death)
        # A third death within the minute: the player says so and ends.
        for pid in wait_for(self.web_processes, 20.0) or []:
            os.kill(pid, signal.SIGKILL)
        self.assertTrue(wait_for(lambda: "keeps failing" in self.stderr_text(), 20.0), self.stderr_text())
        self.assertTrue(wait_for(lambda: self.find_window("Quorvel") and len(self.top_level_windows()) >= 2, 10.0))
        time.sleep(0.5)
        self.x("xdotool", "key", "Return")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_an_engine_that_never_gets_ready_is_started_again(self):
        game = self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf")],
                          "--main", "stream.swf")
        self.stderr_path = os.path.join(self.scratch, "stderr.txt")
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([game], env=dict(self.env, QUORVEL_ENGINE_START_SECONDS="6"),
                                           stdout=subprocess.DEVNULL, stderr=stderr)
        # The first web process is frozen as soon as it is there, before its
        # page can say it is ready.
        frozen = wait_for(self.web_processes, 30.0, 0.005)
        self.assertTrue(frozen, "no web process under the player")
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        self.assertTrue(wait_for(lambda: "did not start within 6 s" in self.stderr_text(), 30.0), self.stderr_text())
        self.window = self.find_window("Quorvel")
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
        # Once it may run again, the process the control gave up on ends.
        for pid in frozen:
            os.kill(pid, signal.SIGCONT)
        self.assertTrue(wait_for(lambda: not set(frozen) & set(self.web_processes()), 10.0),
                        "the frozen web process was left")
        self.quit_with_escape()

    def test_an_engine_started_ahead_that_dies_unseen_is_replaced_quietly(self):
        # The control starts its engine while the package unpacks: a large
        # file gives the test time to end that web process first.
        big = os.path.join(self.scratch, "data.bin")
        with open(big, "wb") as out:
            for _ in range(40):
                out.write(os.urandom(1 << 22))
        game = self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf"), big],
                          "--main", "stream.swf", "--store")
        os.remove(big)
        # The first run installs the control; the second finds it and has it
        # start its engine ahead, with the start-up marks on a pipe.
        self.start(game)
        self.assertTrue(self.cycling(), "the movie never played")
        self.quit_with_escape()
        marks_read, marks_write = os.pipe()
        os.set_blocking(marks_read, False)
        self.stderr_path = os.path.join(self.scratch, "stderr2.txt")
        with open(self.stderr_path, "w") as stderr:
            self.player = subprocess.Popen([game], env=dict(self.env, QUORVEL_TIMELINE=str(marks_write)),
                                           stdout=subprocess.DEVNULL, stderr=stderr, pass_fds=(marks_write,))
        os.close(marks_write)
        marks = []

        def steps():
            try:
                marks.extend(line.split(" ", 2)[2] for line in os.read(marks_read, 1 << 16).decode().splitlines()
                             if line.startswith("quorvel-timeline "))
            except BlockingIOError:
                pass
            return marks
        # Once its page has been asked for (a web process killed while it is
        # still starting takes WebKit's launcher, and the player, with it),
        # and before the window takes it.
        self.assertTrue(wait_for(lambda: "web process up" in steps(), 30.0, 0.005), marks)
        for pid in self.web_processes():
            os.kill(pid, signal.SIGKILL)
        self.assertNotIn("control created", steps(), "unpacking ended before the test could end the engine")
        self.window = wait_for(lambda: self.find_window("Quorvel"), 60.0)
        self.assertTrue(self.window, self.stderr_text())
        self.placed_at(312, 234, 400, 300, timeout=20)
        self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
        self.quit_with_escape()
        steps()
        os.close(marks_read)
        for step in ("main", "engine prepared", "control checked", "package found", "unpacked", "control created",
                     "movie given", "engine page loaded", "movie requested", "movie started"):
            self.assertIn(step, marks)
        # Its process gone, the engine prepared ahead was dropped and the
        # control made a view of its own; nobody was told.
        self.assertLess(marks.index("engine prepared"), marks.index("unpacked"))
        self.assertEqual(marks.count("web view created"), 2, marks)
        self.assertGreater(len(marks) - 1 - marks[::-1].index("web view created"), marks.index("control created"))
        self.assertNotIn("the movie engine", self.stderr_text())

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
        with open(self.links_bus_log) as log:
            self.assertEqual({line.strip() for line in log}, {"none"}, "a link's handler got the player's bus")
        # The page is still there: the bar along the top still moves.
        self.assertTrue(self.moving(542, 274), "the movie stands still after its links")
        self.quit_with_escape()

    def without_link_handlers(self, opener):
        """The player's environment without a desktop of GIO's: no handler in
        the data or configuration folders, and a PATH of the private bus's program and, when `opener`,
        an xdg-open stand-in that writes the number of its arguments and each
        of them on a line of their own."""
        share = os.path.join(self.scratch, "share")
        os.makedirs(share, exist_ok=True)
        for kept in ("glib-2.0", "mime"):
            if os.path.isdir("/usr/share/" + kept) and not os.path.exists(os.path.join(share, kept)):
                os.symlink("/usr/share/" + kept, os.path.join(share, kept))
        empty = os.path.join(self.scratch, "empty")
        os.makedirs(empty, exist_ok=True)
        programs = os.path.join(self.scratch, "bin-xdg-open" if opener else "bin-plain")
        os.makedirs(programs)
        os.symlink(shutil.which("dbus-daemon"), os.path.join(programs, "dbus-daemon"))
        self.links_log = os.path.join(self.scratch, "xdg-open.txt")
        if opener:
            with open(os.path.join(programs, "xdg-open"), "w") as out:
                out.write('#!/bin/sh\nprintf "%%s\\n" "$#" "$@" >> "%s"\n' % self.links_log)
            os.chmod(os.path.join(programs, "xdg-open"), 0o755)
        return dict(XDG_DATA_DIRS=share, XDG_CONFIG_HOME=empty, XDG_CONFIG_DIRS=empty, PATH=programs)

    def test_links_without_a_gio_handler_go_to_xdg_open_or_say_so(self):
        inputs = self.folder("links", {"links.swf": "links.swf", "help.html": b"<p>help</p>"})
        game = self.build([inputs], "--main", "links.swf")
        help_uri = "file://" + os.path.join(os.path.realpath(self.workspace()), "help.html")
        wanted = ["http://example.invalid/blank", "mailto:someone@example.invalid", "http://example.invalid/none",
                  "https://example.invalid/self", help_uri]
        # Each link is xdg-open's one argument.
        self.start(game, **self.without_link_handlers(True))
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(wait_for(lambda: all(["1", w] in self.xdg_opened() for w in wanted), control_e2e.ENGINE_START),
                        "xdg-open got: %s; stderr: %s" % (self.xdg_opened(), self.stderr_text()))
        self.assertNotIn("not opened", self.stderr_text())
        self.quit_with_escape()
        # Neither: one plain line for each, naming the link as the movie wrote it.
        self.start(game, **self.without_link_handlers(False))
        self.placed_at(312, 234, 400, 300)
        said = ["quorvel: the link %s was not opened: no program is set up to open such links" % link
                for link in wanted[:4] + ["help.html"]]
        self.assertTrue(wait_for(lambda: all(line in self.stderr_text() for line in said), control_e2e.ENGINE_START),
                        self.stderr_text())
        self.assertNotIn("quorvel-link:", self.stderr_text())
        self.assertTrue(self.moving(542, 274), "the movie stands still after its links")
        self.quit_with_escape()

    def xdg_opened(self):
        """xdg-open's calls, each as [number of arguments, arguments...]."""
        try:
            with open(self.links_log) as log:
                lines = log.read().splitlines()
        except OSError:
            return []
        calls = []
        while lines:
            count = int(lines[0])
            calls.append(lines[:count + 1])
            lines = lines[count + 1:]
        return calls


player_e2e.own_tests_only(Suite, control_e2e.ControlTest)


if __name__ == "__main__":
    player_e2e.main()
