#!/usr/bin/env python3
"""Starts of the sample player (BUILD_DIR/quorvel-sample), each watched from the
launch until it shows its movie's first frame or a message box, or until the
engine watch's limit plus a margin has passed with neither on screen.

usage: bench/starts.py [--starts N] [--limit SECONDS] [--margin SECONDS]
                       [--loads idle,busy] [--kinds first,registered] [BUILD_DIR]

The starts take turns over every kind and load:
  first       a fresh home folder: the run installs the carried control
  registered  a home folder whose control an earlier run installed
  idle        nothing else of ours runs
  busy        a busy loop on every core for the whole start
All run under one virtual display (1024 x 768), without a session bus (as on
a bare X server; the control brings its own), each with its stderr kept.

A start counts as
  frame     the sample's own drawing (its sun) shows, not only a stage colour
  message   a dialog window of the player is on screen (the engine failed
            three times, say)
  neither   neither within LIMIT + MARGIN seconds, or the player ended first
and the table gives the counts, the restarts of the engine the player
printed, and the median and slowest first frame, per kind and load.
Exit status 0 when no start was "neither", 3 otherwise.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import first_frame as ff  # noqa: E402

LOOK_EVERY = 0.1


def top_windows(env):
    """The ids of the viewable top-level windows."""
    out = subprocess.run(["xwininfo", "-root", "-children"], env=env, capture_output=True, text=True).stdout
    ids = []
    for line in out.splitlines():
        word = line.strip().split(" ", 1)[0]
        if word.startswith("0x"):
            ids.append(word)
    viewable = []
    for window in ids:
        info = subprocess.run(["xwininfo", "-id", window], env=env, capture_output=True, text=True).stdout
        if "IsViewable" in info:
            viewable.append(window)
    return viewable


def dialog_shown(env):
    """True when a viewable top-level window is a dialog (GTK marks its
    message boxes so, with or without a window manager)."""
    for window in top_windows(env):
        kind = subprocess.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], env=env, capture_output=True,
                              text=True).stdout
        if "_NET_WM_WINDOW_TYPE_DIALOG" in kind:
            return True
    return False


class BusyLoops:
    """One busy loop per core, while the object is open."""

    def __init__(self, on):
        self.loops = []
        if on:
            self.loops = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                          for _ in range(os.cpu_count() or 2)]

    def close(self):
        for loop in self.loops:
            loop.kill()
            loop.wait()


def watch(command, env, deadline_seconds, stderr_path):
    """One start: ('frame', seconds), ('message', seconds) or ('neither', why)."""
    with open(stderr_path, "w") as err:
        start = time.monotonic()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=err)
    outcome = ("neither", "nothing within %.0f s" % deadline_seconds)
    try:
        while time.monotonic() - start < deadline_seconds:
            if proc.poll() is not None:
                outcome = ("neither", "ended with status %d" % proc.returncode)
                break
            if ff.pixel(env) == ff.DRAWING:
                outcome = ("frame", time.monotonic() - start)
                break
            if dialog_shown(env):
                outcome = ("message", time.monotonic() - start)
                break
            time.sleep(LOOK_EVERY)
    finally:
        if proc.poll() is None and outcome[0] == "frame":
            subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if proc.poll() is None:
            ff.kill_tree(proc)
    return outcome


def restarts(stderr_path):
    with open(stderr_path, errors="replace") as err:
        return sum(1 for line in err if "starting it again" in line)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starts", type=int, default=40)
    parser.add_argument("--limit", type=float, default=30.0, help="the engine watch's limit, seconds")
    parser.add_argument("--margin", type=float, default=10.0)
    parser.add_argument("--loads", default="idle,busy")
    parser.add_argument("--kinds", default="first,registered")
    parser.add_argument("--keep", help="a folder for the stderr of every start that showed no frame")
    parser.add_argument("build", nargs="?", default="build")
    args = parser.parse_args()
    player = os.path.abspath(os.path.join(args.build, "quorvel-sample"))
    if not os.access(player, os.X_OK):
        sys.exit("no sample player at %s (build it first)" % player)
    loads = args.loads.split(",")
    kinds = args.kinds.split(",")
    turns = [(kind, load) for load in loads for kind in kinds]

    scratch = tempfile.mkdtemp(prefix="quorvel-starts-")
    env = dict(os.environ, LC_ALL="C")
    for name in ("XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DBUS_SESSION_BUS_ADDRESS",
                 "XDG_RUNTIME_DIR", "QUORVEL_ENGINE_START_SECONDS"):
        env.pop(name, None)
    xvfb = ff.start_display(env)
    # The home of the registered runs: its control installed by a run of
    # its own, not counted.
    registered_home = os.path.join(scratch, "registered")
    os.mkdir(registered_home)
    deadline = args.limit + args.margin
    results = []
    began = time.strftime("%Y-%m-%d %H:%M", time.gmtime())
    load_before = os.getloadavg()[0]
    try:
        setup = watch([player], dict(env, HOME=registered_home, TMPDIR=registered_home), deadline,
                      os.path.join(scratch, "setup.txt"))
        if setup[0] != "frame":
            print("note: the run that installs the registered runs' control showed %s" % (setup,))
        for i in range(args.starts):
            kind, load = turns[i % len(turns)]
            if kind == "first":
                home = os.path.join(scratch, "first-%d" % i)
                os.mkdir(home)
            else:
                home = registered_home
            stderr_path = os.path.join(scratch, "stderr-%d.txt" % i)
            loops = BusyLoops(load == "busy")
            try:
                outcome = watch([player], dict(env, HOME=home, TMPDIR=home), deadline, stderr_path)
            finally:
                loops.close()
            results.append({"kind": kind, "load": load, "class": outcome[0], "value": outcome[1],
                            "restarts": restarts(stderr_path)})
            if outcome[0] != "frame":
                with open(stderr_path, errors="replace") as err:
                    tail = err.read()[-2000:]
                print("start %d (%s, %s): %s %s; stderr:\n%s" % (i + 1, kind, load, outcome[0], outcome[1], tail),
                      file=sys.stderr)
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    shutil.copy(stderr_path, os.path.join(args.keep, "start-%d-%s-%s.txt" % (i + 1, kind, load)))
            if kind == "first":
                shutil.rmtree(home, ignore_errors=True)
            print("start %d/%d %s %s: %s %s" % (i + 1, args.starts, kind, load, outcome[0],
                                                "%.2f s" % outcome[1] if outcome[0] != "neither" else outcome[1]),
                  file=sys.stderr, flush=True)
    finally:
        xvfb.terminate()
        shutil.rmtree(scratch, ignore_errors=True)

    print("%d starts of the sample (%s), %s to %s, %d cores, load average %.1f before and %.1f after; "
          "watch limit %.0f s + %.0f s"
          % (len(results), os.path.basename(player), began, time.strftime("%H:%M UTC", time.gmtime()),
             os.cpu_count(), load_before, os.getloadavg()[0], args.limit, args.margin))
    print("%-12s %-5s %6s %6s %8s %8s %9s %10s %10s" % ("kind", "load", "starts", "frame", "message", "neither",
                                                      "restarts", "median s", "slowest s"))

    def row(name, load, chosen):
        frames = [r["value"] for r in chosen if r["class"] == "frame"]
        counts = {c: sum(1 for r in chosen if r["class"] == c) for c in ("frame", "message", "neither")}
        print("%-12s %-5s %6d %6d %8d %8d %9d %10s %10s" % (
            name, load, len(chosen), counts["frame"], counts["message"], counts["neither"],
            sum(r["restarts"] for r in chosen),
            "%.2f" % statistics.median(frames) if frames else "-", "%.2f" % max(frames) if frames else "-"))
    for kind, load in turns:
        row(kind, load, [r for r in results if r["kind"] == kind and r["load"] == load])
    row("all", "", results)
    neither = sum(1 for r in results if r["class"] == "neither")
    return 3 if neither else 0


if __name__ == "__main__":
    sys.exit(main())
