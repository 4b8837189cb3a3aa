#!/usr/bin/env python3
"""End-to-end tests of faults: signals and a lost display, killed runs, players
side by side, first runs at the same moment, damaged installed controls, an
unusable data folder, and the progress window of a large package.

    faults_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_each_signal_empties_the_workspace]
"""

import os
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import player_e2e  # noqa: E402
from player_e2e import wait_for  # noqa: E402

# An ordinary user for the tests that need permission bits to count.
NOBODY = 65534
# Exit status of a run that lost its display.
EXIT_NO_DISPLAY = 3
# Exit status of a run whose control lacks a library it needs.
EXIT_ENGINE_MISSING = 4


class Suite(control_e2e.ControlTest):
    """The test control by default (fast, no web engine); our real control
    where the test is about installing it."""

    def setUp(self):
        super().setUp()
        self.register(os.path.join(player_e2e.BUILD, "tests", "quorvel_test_control.so"))

    def temp_root(self):
        return os.path.join(self.env["TMPDIR"], "quorvel-%d" % os.getuid())

    def launch(self, game, env=None, **popen):
        """Starts a player without waiting for its window."""
        stderr = open(os.path.join(self.scratch, "stderr-%d.txt" % len(os.listdir(self.scratch))), "w")
        process = subprocess.Popen([game], env=env or self.env, stdout=subprocess.DEVNULL, stderr=stderr, **popen)
        process.stderr_path = stderr.name
        stderr.close()
        return process

    def windows_titled(self, title):
        found = []
        for line in self.x("xwininfo", "-root", "-tree").splitlines():
            parts = line.split('"')
            if len(parts) >= 3 and parts[1] == title:
                found.append(line.split()[0])
        return found

    def stop(self, process, sig, timeout=20.0):
        process.send_signal(sig)
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            self.fail("the player did not end on signal %d" % sig)

    def guards(self):
        """The live workspace guards of this test's players."""
        found = []
        for entry in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as cmdline:
                    words = cmdline.read().split(b"\0")
            except OSError:
                continue
            if b"--guard-workspace" in words and any(w.startswith(self.scratch.encode()) for w in words):
                found.append(int(entry))
        return found

    def damage(self, how):
        """Puts a damaged flash8.ocx where the control is installed and registers it."""
        os.makedirs(os.path.dirname(self.installed()), exist_ok=True)
        with open(os.path.join(player_e2e.BUILD, "libquorvel-flash.so"), "rb") as real:
            module = real.read()
        damaged = {"truncated": module[:len(module) // 3], "empty": b"",
                   "foreign": module[:18] + b"\x28\x00" + module[20:]}[how]  # e_machine: ARM
        with open(self.installed(), "wb") as out:
            out.write(damaged)
        self.register(self.installed())
        return module

    # Item 1: nothing decrypted outlives the player.

    def test_each_signal_empties_the_workspace(self):
        game = self.package(["loop.swf", "small.swf"])
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            self.start(game)
            self.assertTrue(os.listdir(self.workspace()))
            self.assertEqual(self.stop(self.player, sig), 128 + sig, "signal %d" % sig)
            self.assertEqual(os.listdir(self.workspace()), [], "signal %d" % sig)

    def test_lost_display_empties_the_workspace(self):
        self.start(self.package(["loop.swf", "small.swf"]))
        self.assertTrue(os.listdir(self.workspace()))
        self.display.process.kill()
        self.display.process.wait()
        self.assertEqual(self.ended(20.0), EXIT_NO_DISPLAY)
        self.assertEqual(os.listdir(self.workspace()), [])
        with open(self.stderr_path) as err:
            self.assertIn("connection to the display was lost", err.read())

    def two_players(self):
        """Two players of one play-all package, each with its window: the
        first holds the workspace, the second its sibling -2."""
        game = self.package(["small.swf", "medium.swf", "large.swf"], "--play-all")
        first = self.launch(game)
        self.assertTrue(wait_for(lambda: len(self.windows_titled("Quorvel")) == 1))
        second = self.launch(game)
        self.player = second
        self.stderr_path = second.stderr_path
        self.assertTrue(wait_for(lambda: len(self.windows_titled("Quorvel")) == 2),
                        "the second player's window never came")
        return first, second, self.workspace() + "-2"

    def test_a_killed_player_is_emptied_by_its_guard_and_another_is_untouched(self):
        first, second, sibling = self.two_players()
        playing = sorted(["small.swf", "medium.swf", "large.swf", "package.ini"])
        self.assertTrue(wait_for(lambda: os.path.isdir(sibling) and sorted(os.listdir(sibling)) == playing))
        self.assertEqual(sorted(os.listdir(self.workspace())), playing)
        self.assertEqual(len(self.guards()), 2)

        first.kill()
        first.wait()
        # No other start: the guard alone empties it, and ends.
        self.assertTrue(wait_for(lambda: os.listdir(self.workspace()) == [], 20.0), os.listdir(self.workspace()))
        self.assertTrue(wait_for(lambda: len(self.guards()) == 1, 20.0), "the guard stayed")
        self.assertEqual(sorted(os.listdir(sibling)), playing)
        self.assertEqual(len(self.windows_titled("Quorvel")), 1)
        # A sibling goes with its player, killed as well.
        second.kill()
        second.wait()
        self.assertTrue(wait_for(lambda: not os.path.exists(sibling), 20.0), "the sibling stayed")
        self.assertTrue(wait_for(lambda: not self.guards(), 20.0), "the guard stayed")

    def test_a_killed_run_is_emptied_by_the_next_start(self):
        game = self.package(["loop.swf", "small.swf"])
        self.start(game)
        # Power lost: the guard goes with the player.
        guards = wait_for(self.guards)
        self.assertTrue(guards)
        for pid in guards:
            os.kill(pid, signal.SIGKILL)
        self.player.kill()
        self.player.wait()
        left = set(os.listdir(self.workspace()))
        self.assertIn("loop.swf", left)
        # A stale sibling left by another killed run, nobody holding it.
        stale = self.workspace() + "-3"
        os.makedirs(os.path.join(stale, "deep"))
        with open(os.path.join(stale, "deep", "movie.swf"), "w") as out:
            out.write("decrypted")
        with open(os.path.join(self.workspace(), "left-behind.swf"), "w") as out:
            out.write("decrypted")
        self.start(game)
        self.assertNotIn("left-behind.swf", os.listdir(self.workspace()))
        self.assertFalse(os.path.exists(stale))
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])
        # A guard ends with its player's own end as well.
        self.assertTrue(wait_for(lambda: not self.guards(), 20.0), "the guard stayed")

    # Item 2: every running player has its own workspace.

    def test_two_players_each_keep_their_own_workspace(self):
        first, second, sibling = self.two_players()
        self.assertTrue(wait_for(lambda: os.path.isdir(sibling) and "large.swf" in os.listdir(sibling)))
        self.assertIn("large.swf", os.listdir(self.workspace()))

        self.assertEqual(self.stop(first, signal.SIGTERM), 128 + signal.SIGTERM)
        self.assertEqual(os.listdir(self.workspace()), [])
        self.assertEqual(sorted(f for f in os.listdir(sibling)),
                         sorted(["small.swf", "medium.swf", "large.swf", "package.ini"]))
        # The second goes on through its movies: each size in turn.
        self.window = wait_for(lambda: len(self.windows_titled("Quorvel")) == 1 and self.windows_titled("Quorvel")[0])
        self.assertTrue(self.window)
        self.placed_at(312, 234, 400, 300, timeout=20)
        self.placed_at(192, 144, 640, 480, timeout=20)
        self.placed_at(362, 284, 300, 200, timeout=20)
        self.assertEqual(self.stop(second, signal.SIGTERM), 128 + signal.SIGTERM)
        # A sibling goes with its player.
        self.assertFalse(os.path.exists(sibling))

    # Item 3: the control can neither crash the player nor land outside the data folder.

    def test_simultaneous_first_runs_all_show_the_movie(self):
        game = self.sample_package()
        for attempt in range(2):
            if os.path.exists(self.registry_file()):
                os.remove(self.registry_file())
            if os.path.exists(self.installed()):
                os.remove(self.installed())
            players = [self.launch(game), self.launch(game)]
            self.assertTrue(wait_for(lambda: len(self.windows_titled("Quorvel")) == 2, control_e2e.ENGINE_START),
                            "attempt %d: two windows" % attempt)
            for window in self.windows_titled("Quorvel"):
                self.x("xdotool", "windowraise", window)
                self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "attempt %d: a blank window" % attempt)
            for process in players:
                self.assertEqual(self.stop(process, signal.SIGTERM), 128 + signal.SIGTERM)
                with open(process.stderr_path) as err:
                    self.assertNotIn("cannot be created", err.read())
            self.assertEqual(self.registered_module(), os.path.realpath(self.installed()))
            system = os.path.dirname(self.installed())
            self.assertEqual(os.listdir(system), ["flash8.ocx"], "temporary files left behind")

    def damaged_control_is_replaced(self, how):
        module = self.damage(how)
        self.start(self.sample_package())
        self.assertTrue(self.shows(512, 560, (0x14, 0x21, 0x3D)), "the movie never showed")
        with open(self.installed(), "rb") as installed:
            self.assertEqual(installed.read(), module)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)

    def test_a_truncated_control_is_replaced(self):
        self.damaged_control_is_replaced("truncated")

    def test_an_empty_control_is_replaced(self):
        self.damaged_control_is_replaced("empty")

    def test_a_control_for_another_machine_is_replaced(self):
        self.damaged_control_is_replaced("foreign")

    def test_a_read_only_data_folder_is_named_and_the_player_still_runs(self):
        # Nothing registered, and the folder the control would go to cannot
        # be made: one message, then the window opens (without a control)
        # and the run ends normally. The controls of other versions that the
        # tests have answer no members, so they cannot stand in for an old
        # control that still plays.
        os.remove(self.registry_file())
        game = self.sample_package()
        data = os.path.join(self.env["XDG_DATA_HOME"], "quorvel")
        for root, folders, files in os.walk(self.scratch):
            for name in folders + files:
                os.lchown(os.path.join(root, name), NOBODY, NOBODY)
        os.chown(self.scratch, NOBODY, NOBODY)
        os.chmod(data, 0o555)
        env = dict(self.env, HOME=os.path.join(self.scratch, "home"))

        def as_nobody():
            os.setgid(NOBODY)
            os.setuid(NOBODY)
        player = self.launch(game, env=env, preexec_fn=as_nobody)
        self.player = player
        self.stderr_path = player.stderr_path
        self.dismiss_message_box()
        with open(player.stderr_path) as err:
            text = err.read()
        self.assertIn("The Flash control cannot be installed in %s/system: Access is denied." % data, text)
        if not wait_for(lambda: self.windows_titled("Quorvel"), 30.0):
            with open(player.stderr_path) as err:
                self.fail("no player window after the message; stderr: " + err.read())
        self.assertEqual(self.stop(player, signal.SIGTERM), 128 + signal.SIGTERM)
        with open(player.stderr_path) as err:
            text = err.read()
        self.assertEqual(text.count("cannot be installed"), 1)
        self.assertIn("the Flash control cannot be created", text)
        self.assertEqual(os.listdir(data), [])
        self.assertFalse([n for n in os.listdir("/") if n.startswith("flash8")])

    def dismiss_message_box(self):
        """Waits for the player's message box and presses its OK; GTK's hidden
        leader window bears the program's name too."""
        box = wait_for(lambda: [w for w in self.windows_titled("game")
                                if (self.geometry(w) or {}).get("state") == "IsViewable"], 30.0)
        self.assertTrue(box, "no message box")
        # OK has the focus: a click into the box, then Return.
        g = wait_for(lambda: self.geometry(box[0]))
        self.x("xdotool", "mousemove", str(g["x"] + g["width"] // 2), str(g["y"] + 10))
        self.x("xdotool", "click", "1")
        self.x("xdotool", "windowfocus", "--sync", box[0])
        self.x("xdotool", "key", "Return")
        self.x("xdotool", "keyup", "Return")

    def test_a_missing_engine_library_is_named_and_ends_the_run(self):
        """WebKitGTK hidden in a mount namespace of the player's own: one box
        that names it and its package, then status 4, nothing unpacked."""
        if os.geteuid() != 0 or not shutil.which("unshare"):
            player_e2e.skip_or_fail(self, "hiding a library needs root and unshare")
        if subprocess.run(["unshare", "-m", "true"], stderr=subprocess.DEVNULL).returncode != 0:
            player_e2e.skip_or_fail(self, "no mount namespace here")
        libraries = subprocess.run(["ldd", os.path.join(player_e2e.BUILD, "libquorvel-flash.so")],
                                   capture_output=True, text=True).stdout
        engine = [line.split("=>")[1].split()[0] for line in libraries.splitlines()
                  if line.strip().startswith("libwebkit2gtk-4.1.so.0 =>")]
        self.assertTrue(engine, libraries)
        os.remove(self.registry_file())
        hide = 'mount --bind /dev/null "$1" && exec "$2"'
        game = self.sample_package()
        # A first run, which writes the carried control; then one whose
        # registered control is that one.
        for registered in (False, True):
            if registered:
                self.register(self.installed())
            self.stderr_path = os.path.join(self.scratch, "stderr-%s.txt" % registered)
            with open(self.stderr_path, "w") as stderr:
                self.player = subprocess.Popen(["unshare", "-m", "sh", "-c", hide, "sh", os.path.realpath(engine[0]),
                                                game], env=self.env, stdout=subprocess.DEVNULL, stderr=stderr)
            self.dismiss_message_box()
            self.assertEqual(self.ended(30.0), EXIT_ENGINE_MISSING)
            with open(self.stderr_path) as err:
                text = err.read()
            self.assertIn("The Flash control cannot run: WebKitGTK 4.1 (libwebkit2gtk-4.1.so.0) is missing or cannot "
                          "be loaded. Install the package libwebkit2gtk-4.1-0 (Debian and Ubuntu) or webkit2gtk4.1 "
                          "(Fedora).", text)
            self.assertEqual(text.count("The Flash control cannot run"), 1, text)
            self.assertNotIn("cannot be created", text)
            self.assertFalse(self.windows_titled("Quorvel"))
            self.assertFalse(os.path.exists(self.workspace()) and os.listdir(self.workspace()))

    # Item 5: every start either plays or says why not.

    def test_repeated_starts_under_a_cpu_hog_all_show_the_movie(self):
        """Half of the starts install the control into a fresh data folder,
        the other half find it installed; a busy loop on every core makes the
        engine slow to start. Each start must show the movie and end on
        Escape with status 0."""
        # Two dozen; one dozen under the sanitizers, which slow every start.
        starts = int(os.environ.get("QUORVEL_E2E_STARTS", "12" if "ASAN_OPTIONS" in self.env else "24"))
        game = self.sample_package()
        hogs = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(os.cpu_count() or 2)]
        failures = []
        try:
            for attempt in range(starts):
                if attempt % 2 == 0:
                    for path in (self.installed(), self.registry_file()):
                        if os.path.exists(path):
                            os.remove(path)
                player = self.launch(game)
                shown = wait_for(lambda: player.poll() is not None or (
                    self.windows_titled("Quorvel") and self.shows(512, 560, (0x14, 0x21, 0x3D), 0.1)),
                    control_e2e.ENGINE_START, 0.1)
                if player.poll() is not None or not shown:
                    status = player.poll()
                    if status is None:
                        player.kill()
                        player.wait()
                    with open(player.stderr_path) as err:
                        failures.append("start %d: %s; stderr: %s" % (
                            attempt, "ended with %s" % status if status is not None else "the movie never showed",
                            err.read()[-600:]))
                    continue
                self.x("xdotool", "key", "Escape")
                try:
                    status = player.wait(20)
                except subprocess.TimeoutExpired:
                    player.kill()
                    player.wait()
                    status = "no end"
                if status != 0:
                    failures.append("start %d: Escape ended it with %s" % (attempt, status))
        finally:
            for hog in hogs:
                hog.kill()
                hog.wait()
        self.assertEqual(failures, [])

    # Item 6: large packages show progress.

    def test_a_large_package_shows_its_progress_then_plays(self):
        big = os.path.join(self.scratch, "data.bin")
        with open(big, "wb") as out:
            for _ in range(48):
                out.write(os.urandom(1 << 22))
        game = os.path.join(self.scratch, "game")
        subprocess.run([os.path.join(player_e2e.BUILD, "quorvel-pack"), "build", "-o", game, "--no-control",
                        "--store", "--main", "loop.swf", "--player", os.path.join(player_e2e.BUILD, "quorvel-player"),
                        os.path.join(self.movies, "loop.swf"), big], check=True, stdout=subprocess.DEVNULL, env=self.env)
        os.remove(big)
        self.player = self.launch(game)
        self.stderr_path = self.player.stderr_path
        progress = wait_for(lambda: self.windows_titled("Unpacking game"), 30.0, 0.02)
        self.assertTrue(progress, "no progress window")
        self.window = wait_for(lambda: self.windows_titled("Quorvel") and self.windows_titled("Quorvel")[0], 60.0)
        self.assertTrue(self.window)
        self.placed_at(237, 184, 550, 400, timeout=20)
        self.assertTrue(wait_for(lambda: not self.windows_titled("Unpacking game")), "the progress window stayed")
        # The package's pages of the executable are no longer in memory.
        resident = 0
        with open("/proc/%d/smaps" % self.player.pid) as maps:
            inside = False
            for line in maps:
                fields = line.split()
                if "-" in fields[0] and len(fields) >= 5:
                    inside = line.rstrip().endswith(os.path.realpath(game))
                elif inside and fields[0] == "Rss:":
                    resident += int(fields[1]) * 1024
        self.assertLess(resident, 64 << 20, "%d bytes of the executable still in memory" % resident)
        self.x("xdotool", "key", "Escape")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])


for name in dir(control_e2e.ControlTest):
    if name.startswith("test_") and name not in vars(Suite):
        setattr(Suite, name, None)


if __name__ == "__main__":
    player_e2e.main()
