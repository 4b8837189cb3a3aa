#!/usr/bin/env python3
"""Play-all of three small movies for MINUTES under a virtual display: the
web process's memory over time, its growth after the first minute, the
movie changes seen on screen and the warnings on stderr per movie change.

usage: bench/soak.py [MINUTES] [--build BUILD_DIR] [--every SECONDS]

The movies are the e2e suite's small, medium and large one-second loops
(built by quorvel-e2e-movies), packed with --play-all. For a run counted in
movie changes, with the PSS of all the player's processes every 100
changes, see play_all.py --soak.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import first_frame as ff  # noqa: E402

MOVIES = ("small.swf", "medium.swf", "large.swf")
CENTRE = (512, 384)       # inside every one of the three centred movies
GOAL_GROWTH_MB = 30


def memory_kb(pid):
    """Pss and Rss of one process, in kB."""
    values = {}
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                key = line.split(":")[0]
                if key in ("Pss", "Rss", "Anonymous"):
                    values[key] = int(line.split()[1])
    except OSError:
        pass
    # Threads: an engine instance that leaves its audio or drawing threads
    # behind shows here first.
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("Threads:"):
                    values["Threads"] = int(line.split()[1])
    except OSError:
        pass
    return values


def web_process(root):
    for pid in ff.process_tree(root):
        if ff.command_name(pid).startswith("WebKitWebProces"):
            return pid
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("minutes", nargs="?", type=float, default=2.0)
    parser.add_argument("--build", default="build")
    parser.add_argument("--every", type=float, default=30.0, help="seconds between memory lines")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="quorvel-soak-")
    env = dict(os.environ, HOME=work, TMPDIR=work, LC_ALL="C")
    env.pop("XDG_DATA_HOME", None)
    movies = os.path.join(work, "movies")
    os.mkdir(movies)
    subprocess.run([os.path.join(args.build, "tests", "quorvel-e2e-movies"), movies], check=True)
    package = os.path.join(work, "soak")
    subprocess.run([os.path.join(args.build, "quorvel-pack"), "build", "-o", package, "--play-all",
                    *[os.path.join(movies, m) for m in MOVIES]], check=True, stdout=subprocess.DEVNULL)
    xvfb = ff.start_display(env)
    errors = open(os.path.join(work, "stderr.txt"), "w+")
    # The control's timeline marks say the size of the engine's WebAssembly
    # memory (shared by all its players) whenever it changes.
    marks_read, marks_write = os.pipe()
    proc = subprocess.Popen([package], env=dict(env, QUORVEL_TIMELINE=str(marks_write)), stdout=subprocess.DEVNULL,
                            stderr=errors, pass_fds=(marks_write,))
    os.close(marks_write)
    engine_mb = 0.0
    samples, changes, last_colour = [], 0, None
    start = time.monotonic()
    next_sample = start
    web = None
    try:
        print(f"play-all of {', '.join(MOVIES)} for {args.minutes:g} minutes; web process memory:")
        print(f"{'min':>6} {'PSS MB':>8} {'RSS MB':>8} {'anon MB':>8} {'wasm MB':>8} {'threads':>8} {'changes':>8}")
        while time.monotonic() - start < args.minutes * 60 and proc.poll() is None:
            colour = ff.pixel(env, CENTRE)
            if colour and colour != "srgb(0,0,0)":
                if last_colour is not None and colour != last_colour:
                    changes += 1
                last_colour = colour
            now = time.monotonic()
            for step, _ in ff.read_marks(marks_read, start):
                if step.startswith("engine memory "):
                    engine_mb = int(step.split()[-1]) / 1024 / 1024
            if now >= next_sample:
                web = web_process(proc.pid) or web
                m = memory_kb(web) if web else {}
                if m:
                    m["Wasm"] = int(engine_mb * 1024)
                    samples.append(((now - start) / 60, m))
                    print(f"{(now - start) / 60:6.1f} {m['Pss'] / 1024:8.1f} {m['Rss'] / 1024:8.1f} "
                          f"{m.get('Anonymous', 0) / 1024:8.1f} {engine_mb:8.1f} {m.get('Threads', 0):8d} {changes:8d}",
                          flush=True)
                next_sample += args.every
            time.sleep(0.25)
        ended = proc.poll()
    finally:
        subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            ff.kill_tree(proc)
        xvfb.terminate()
    errors.seek(0)
    lines = [line.rstrip("\n") for line in errors if line.strip()]
    errors.close()
    shutil.rmtree(work, ignore_errors=True)

    if ended is not None:
        print(f"the player ended early (status {ended})")
    after_first = [s for s in samples if s[0] >= 1.0]
    if after_first:
        first, last = after_first[0][1], samples[-1][1]
        minutes = samples[-1][0] - after_first[0][0]
        # PSS splits shared pages among every process mapping them, so it
        # moves when other programs using the same libraries start or end;
        # RSS and anonymous memory are the process's own.
        for key, label in (("Pss", "PSS"), ("Rss", "RSS"), ("Anonymous", "anonymous"),
                           ("Wasm", "the engine's WebAssembly memory")):
            growth = (last.get(key, 0) - first.get(key, 0)) / 1024
            per_change = f", {growth / changes * 1024:.0f} kB a movie change" if changes else ""
            print(f"growth after the first minute: {growth:+.1f} MB {label} over {minutes:.1f} min{per_change}")
        later = [s for s in samples if s[0] >= samples[-1][0] / 3]
        if len(later) > 1:
            growth = (later[-1][1]["Rss"] - later[0][1]["Rss"]) / 1024
            print(f"  of which in the last two thirds ({later[0][0]:.0f} to {later[-1][0]:.0f} min): "
                  f"{growth:+.1f} MB RSS")
        growth = (last.get("Rss", 0) - first.get("Rss", 0)) / 1024
        print(f"goal: < {GOAL_GROWTH_MB} MB RSS after the first minute (over 2,000 movie changes): "
              f"{'met' if growth < GOAL_GROWTH_MB else 'NOT met'} so far ({growth:+.1f} MB over {changes} changes)")
    print(f"movie changes seen: {changes}; stderr lines: {len(lines)}"
          f" ({len(lines) / changes:.2f} a movie change)" if changes else f"stderr lines: {len(lines)}")
    kinds = {}
    for line in lines:
        # One kind of line, whatever its time stamp and process id.
        key = re.sub(r"\d\d:\d\d:\d\d\.\d+|\(\w+:\d+\)", "", line).strip()[:100]
        kinds[key] = kinds.get(key, 0) + 1
    for key, count in sorted(kinds.items(), key=lambda k: -k[1])[:5]:
        print(f"  {count:5d} x {key}")


if __name__ == "__main__":
    main()
