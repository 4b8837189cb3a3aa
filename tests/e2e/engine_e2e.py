#!/usr/bin/env python3
"""End-to-end tests of the engine's watch: packages with our control whose
engine the test makes misbehave, with a script of its own that the control
runs in every engine page (QUORVEL_TEST_PAGE_SCRIPT). Each start plays the
movie after a restart, or shows the message box; never a black window.

    engine_e2e.py --build BUILD_DIR [unittest arguments, e.g. Suite.test_NAME]
"""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import control_e2e  # noqa: E402
import package_e2e  # noqa: E402
import player_e2e  # noqa: E402
from package_e2e import RED  # noqa: E402
from player_e2e import wait_for  # noqa: E402

# The engine's faults, for pages numbered up to `pages` (the control numbers
# every page its process loads, from 1, in the page's address), and only
# for the movies whose address holds `movie`:
#   hang       the engine never answers the movie's load
#   throw      the load throws
#   reject     the load's promise is rejected
#   warm-hang  the warm-up movie's load never answers
#   missing    the engine's script leaves no engine behind
#   stale      the page says everything, its ready among it, as another page
#   panic      the engine panics half a second after it started the movie
#   trap       the engine's WebAssembly traps while it makes the movie's player:
#              the load never settles, an uncaught RuntimeError says why
FAULT_SCRIPT = r"""
(function () {
    "use strict";
    const fault = "%(fault)s", pages = %(pages)d, movie = "%(movie)s";
    const page = Number(new URLSearchParams(location.search).get("page"));
    if (page > pages)
        return;
    if (fault === "missing") {
        Object.defineProperty(window, "RufflePlayer", { get: () => undefined, set: () => {}, configurable: false });
        return;
    }
    if (fault === "stale") {
        history.replaceState(null, "", location.pathname + "?page=" + (page + 1000));
        return;
    }
    const define = customElements.define.bind(customElements);
    customElements.define = function (name, element, options) {
        const load = element.prototype.load;
        if (typeof load === "function") {
            element.prototype.load = function (config) {
                const warm = "data" in config;
                const hit = fault === "warm-hang" ? warm : !warm && String(config.url).includes(movie);
                if (!hit)
                    return load.apply(this, arguments);
                if (fault === "trap") {
                    // As a rejection nobody handles (a throw of this script's
                    // own would reach the page's error event muted).
                    setTimeout(() => Promise.reject(new WebAssembly.RuntimeError("test trap")), 200);
                    return new Promise(() => {});
                }
                if (fault === "panic") {
                    const started = load.apply(this, arguments);
                    started.then(() => setTimeout(() => console.error("panicked at src/test.rs:1:1:\ntest panic"), 500));
                    return started;
                }
                if (fault === "hang" || fault === "warm-hang")
                    return new Promise(() => {});
                if (fault === "reject")
                    return Promise.reject(new Error("test fault"));
                throw new Error("test fault");
            };
        }
        return define(name, element, options);
    };
})();
"""

# The movie watch's limit for the tests that wait it out, in seconds: long
# enough for a real start of the engine on a busy machine.
WATCH = 12


class Suite(package_e2e.Suite):
    """Real packages with our control, its engine made to misbehave."""

    def fault(self, fault, pages=1, movie=""):
        path = os.path.join(self.scratch, "fault.js")
        with open(path, "w") as out:
            out.write(FAULT_SCRIPT % dict(fault=fault, pages=pages, movie=movie))
        self.env["QUORVEL_TEST_PAGE_SCRIPT"] = path

    def stream_package(self):
        return self.build([os.path.join(self.movies, "stream.swf"), os.path.join(self.movies, "part2.swf")],
                          "--main", "stream.swf")

    def restarts(self):
        return self.stderr_text().count("starting it again")

    def plays_after_one_restart(self, line, game=None, **env):
        """Starts the package; the movie plays, after `line` on stderr, once."""
        self.start(game or self.stream_package(), **env)
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
        self.assertIn("quorvel: the movie engine %s; starting it again" % line, self.stderr_text())
        self.assertEqual(self.restarts(), 1, self.stderr_text())
        self.quit_with_escape()
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_a_load_that_never_answers_is_given_again(self):
        self.fault("hang")
        self.plays_after_one_restart("did not start the movie within %d s" % WATCH,
                                     QUORVEL_ENGINE_START_SECONDS=str(WATCH))

    def test_a_load_that_throws_or_rejects_is_given_again(self):
        game = self.stream_package()
        for fault in ("throw", "reject"):
            self.fault(fault)
            self.plays_after_one_restart("failed (Error: test fault)", game)

    def test_a_missing_engine_script_is_loaded_again(self):
        self.fault("missing")
        self.plays_after_one_restart("failed (the engine's script did not load)")

    def test_a_panic_of_the_engine_while_the_movie_plays_starts_it_again(self):
        # The engine's own render code can panic on a frame (a fault of its
        # graphics layer): the movie would stand still for good.
        self.fault("panic")
        self.plays_after_one_restart("failed (panicked: test panic)")

    def test_a_trap_of_the_engine_while_it_starts_is_not_waited_out(self):
        # Seen in the engine's start under software rendering: an
        # out-of-bounds access while it makes the player's drawing device.
        # The load would never settle: the engine is started again at once,
        # not after the watch's 30 s.
        self.fault("trap")
        launched = time.monotonic()
        self.plays_after_one_restart("failed (trapped: test trap)")
        self.assertLess(time.monotonic() - launched, 25.0)

    def test_a_ready_of_another_page_is_not_taken(self):
        # Its messages dropped, the page never counts as ready: the page's
        # watch runs out, not the movie's.
        self.fault("stale")
        self.plays_after_one_restart("did not start within 8 s", QUORVEL_ENGINE_START_SECONDS="8")

    def test_a_warm_up_that_never_settles_holds_nothing_up(self):
        # The first run installs and registers the control; the second
        # prepares its engine ahead, and that one's warm-up never settles.
        game = self.stream_package()
        self.start(game)
        self.assertTrue(self.cycling(), "the movie never played")
        self.quit_with_escape()
        self.fault("warm-hang")
        launched = time.monotonic()
        self.start(game, QUORVEL_ENGINE_START_SECONDS=str(WATCH), QUORVEL_TIMELINE="2")
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
        text = self.stderr_text()
        self.assertIn("engine prepared", text, "no engine was started ahead")
        # Either the prepared view was dropped quietly before the window took
        # it, or the window's movie waited for it and the engine was started
        # again, once, within the watch's limit.
        self.assertLessEqual(self.restarts(), 1, text)
        if self.restarts():
            self.assertIn("did not start the movie within %d s" % WATCH, text)
        self.assertLess(time.monotonic() - launched, 2 * WATCH + control_e2e.ENGINE_START)
        self.quit_with_escape()

    def test_a_web_process_that_stops_answering_is_replaced(self):
        # Frozen once its page has been given the movie (the start-up marks
        # on stderr say when), which its engine has not started yet.
        self.fault("hang")
        self.start(self.stream_package(), QUORVEL_ENGINE_START_SECONDS=str(WATCH), QUORVEL_TIMELINE="2")
        self.assertTrue(wait_for(lambda: "engine page loaded" in self.stderr_text(), 30.0), self.stderr_text())
        frozen = self.web_processes()
        self.assertTrue(frozen, "no web process under the player")
        for pid in frozen:
            os.kill(pid, signal.SIGSTOP)
        self.placed_at(312, 234, 400, 300)
        self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
        self.assertIn("did not start the movie within %d s" % WATCH, self.stderr_text())
        self.assertEqual(self.restarts(), 1, self.stderr_text())
        # The process the control gave up on ends (at once, or once it may
        # run again).
        for pid in frozen:
            try:
                os.kill(pid, signal.SIGCONT)
            except ProcessLookupError:
                pass
        self.assertTrue(wait_for(lambda: not set(frozen) & set(self.web_processes()), 10.0),
                        "the frozen web process was left")
        self.quit_with_escape()

    def test_an_engine_that_keeps_failing_says_so_and_ends(self):
        self.fault("throw", pages=1000)
        self.start(self.stream_package())
        self.assertTrue(wait_for(lambda: "keeps failing" in self.stderr_text(), control_e2e.ENGINE_START),
                        self.stderr_text())
        self.assertEqual(self.restarts(), 2, self.stderr_text())
        self.assertTrue(wait_for(lambda: self.find_window("Quorvel") and len(self.top_level_windows()) >= 2, 10.0))
        time.sleep(0.5)
        self.x("xdotool", "key", "Return")
        self.assertEqual(self.ended(), 0)
        self.assertEqual(os.listdir(self.workspace()), [])

    def test_a_stuck_movie_does_not_stop_play_all(self):
        # The first movie never starts, on any page: play-all moves on from
        # it as from a movie that stands still, to the next, which plays.
        self.fault("hang", pages=1000, movie="loop.swf")
        self.start(self.build([os.path.join(self.movies, "loop.swf"), os.path.join(self.movies, "stops.swf")],
                              "--play-all"))
        self.placed_at(237, 184, 550, 400)
        self.placed_at(362, 284, 300, 200, timeout=control_e2e.ENGINE_START)
        self.assertTrue(self.shows(512, 384, (0xA0, 0x20, 0x20)), "the next movie never showed")
        self.assertNotIn("keeps failing", self.stderr_text())
        self.quit_with_escape()

    def test_an_ending_signal_to_the_group_is_not_a_crash(self):
        """Ctrl+C in a terminal, `timeout` and a session's end signal the
        player's whole process group, its web processes with it."""
        game = self.stream_package()
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            self.stderr_path = os.path.join(self.scratch, "stderr-%d.txt" % sig)
            with open(self.stderr_path, "w") as stderr:
                self.player = subprocess.Popen([game], env=self.env, stdout=subprocess.DEVNULL, stderr=stderr,
                                               start_new_session=True)
            self.window = wait_for(lambda: self.find_window("Quorvel"), 30.0)
            self.assertTrue(self.window, self.stderr_text())
            self.assertTrue(self.cycling(), "the movie never played: " + self.stderr_text())
            self.assertTrue(self.web_processes())
            os.killpg(self.player.pid, sig)
            self.assertEqual(self.ended(20.0), 128 + sig, "signal %d: %s" % (sig, self.stderr_text()))
            self.assertEqual(os.listdir(self.workspace()), [], "signal %d" % sig)
            self.assertNotIn("movie engine", self.stderr_text(), "signal %d" % sig)


player_e2e.own_tests_only(Suite, package_e2e.Suite)


if __name__ == "__main__":
    player_e2e.main()
