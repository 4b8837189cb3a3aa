#!/usr/bin/env python3
"""Time from launch to the sample's first frame on screen, for the packaged
player and for the same movie in a bare web view (same engine build), under
a virtual display; and the CPU the player uses while the movie plays.

usage: bench/first_frame.py [--runs N] [BUILD_DIR]
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PIXEL = (512, 560)          # below the circle, inside the centred 550 x 400 movie
BACKGROUND = "srgb(20,33,61)"  # the sample's background colour, #14213D
TIMEOUT = 30.0


def free_display():
    for n in range(150, 250):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return f":{n}"
    sys.exit("no free display number")


def pixel(env):
    out = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{PIXEL[0]}+{PIXEL[1]}", "txt:-"],
                         env=env, capture_output=True, text=True).stdout
    for word in out.split():
        if word.startswith("srgb("):
            return word
    return None


def process_tree(root):
    """The pid and every descendant (the web engine runs in child processes)."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
                children.setdefault(int(fields[1]), []).append(int(entry))
            except OSError:
                pass
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def cpu_seconds(pids):
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total / os.sysconf("SC_CLK_TCK")


def run_once(command, env, measure_cpu):
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    first = None
    while time.monotonic() - start < TIMEOUT:
        if pixel(env) == BACKGROUND:
            first = time.monotonic() - start
            break
        time.sleep(0.02)
    cpu = None
    if first is not None and measure_cpu:
        pids = process_tree(proc.pid)
        before, t0 = cpu_seconds(pids), time.monotonic()
        time.sleep(5)
        cpu = (cpu_seconds(process_tree(proc.pid)) - before) / (time.monotonic() - t0) * 100
    subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        for pid in reversed(process_tree(proc.pid)):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        proc.wait()
    return first, cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("build", nargs="?", default="build")
    args = parser.parse_args()
    player = os.path.join(args.build, "quorvel")
    bare = [os.path.join(args.build, "bench", "quorvel-bench-bare-view"), os.path.join(args.build, "res", "logo.swf")]

    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    home = tempfile.mkdtemp(prefix="quorvel-bench-home-")
    try:
        env = dict(os.environ, DISPLAY=display, HOME=home, TMPDIR=home, LC_ALL="C")
        env.pop("XDG_DATA_HOME", None)
        for _ in range(100):
            if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.05)
        # The first run installs the control; it is timed on its own.
        install, _ = run_once([player], env, False)
        rows = {"player": [], "bare view": []}
        cpu = []
        for i in range(args.runs):
            first, load = run_once([player], env, i == 0)
            rows["player"].append(first)
            if load is not None:
                cpu.append(load)
            rows["bare view"].append(run_once(bare, env, False)[0])
    finally:
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)

    print(f"first frame of the sample on screen, {args.runs} runs, load average {os.getloadavg()[0]:.1f}")
    print(f"{'':12} {'best s':>8} {'median s':>9}")
    medians = {}
    for name, times in rows.items():
        good = [t for t in times if t is not None]
        if not good:
            print(f"{name:12} {'never':>8}")
            continue
        medians[name] = statistics.median(good)
        print(f"{name:12} {min(good):8.2f} {medians[name]:9.2f}")
    print(f"first run (installs the control): {install:.2f} s" if install else "first run: never showed the movie")
    if "player" in medians and "bare view" in medians:
        print(f"player / bare view (median) = {medians['player'] / medians['bare view']:.2f} (target <= 1.00)")
        print(f"player median = {medians['player']:.2f} s (target <= 1.50)")
    if cpu:
        print(f"CPU while the sample plays (player and web engine processes): {cpu[0]:.0f}% of one core")


if __name__ == "__main__":
    main()
