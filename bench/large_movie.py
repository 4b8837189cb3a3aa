#!/usr/bin/env python3
"""The player's memory with a large main movie against a small one: two
packages alike but for their main movie (the sample, or the sample with an
unused tag of MEGABYTES of noise), each played under a virtual display
until RUNS medians of its first frame plus SETTLE seconds. For the player's
process and its web process: the peak of anonymous memory (sampled every
50 ms from the launch) and the anonymous memory at the end.

usage: bench/large_movie.py [--megabytes 100] [--runs 3] [BUILD_DIR]
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

SETTLE = 4.0
GOAL_RATIO = 1.5


def anon_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def padded_movie(sample, out, megabytes):
    """The sample with one tag the engine skips (code 255) of noise before its end."""
    with open(sample, "rb") as f:
        data = f.read()
    if data[:3] == b"CWS":
        import zlib
        data = b"FWS" + data[3:8] + zlib.decompress(data[8:])
    assert data[:3] == b"FWS" and data[-2:] == b"\0\0", "the sample is not an uncompressed movie"
    body = os.urandom(megabytes * 1000 * 1000)
    tag = ((255 << 6) | 0x3F).to_bytes(2, "little") + len(body).to_bytes(4, "little") + body
    movie = data[:-2] + tag + data[-2:]
    movie = movie[:4] + len(movie).to_bytes(4, "little") + movie[8:]
    with open(out, "wb") as f:
        f.write(movie)


def run(package, env):
    start = time.monotonic()
    proc = subprocess.Popen([package], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = {"player": 0, "web": 0}
    first = None
    while time.monotonic() - start < ff.TIMEOUT + SETTLE and proc.poll() is None:
        web = [p for p in ff.process_tree(proc.pid) if ff.command_name(p).startswith("WebKitWebProces")]
        peak["player"] = max(peak["player"], anon_kb(proc.pid))
        peak["web"] = max([peak["web"]] + [anon_kb(p) for p in web])
        if first is None and ff.pixel(env) == ff.DRAWING:
            first = time.monotonic()
        if first is not None and time.monotonic() - first > SETTLE:
            break
        time.sleep(0.05)
    end = {"player": anon_kb(proc.pid), "web": sum(anon_kb(p) for p in ff.process_tree(proc.pid)
                                                   if ff.command_name(p).startswith("WebKitWebProces"))}
    subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        ff.kill_tree(proc)
    return {"shown": first is not None, **{f"{k} peak": v / 1024 for k, v in peak.items()},
            **{f"{k} end": v / 1024 for k, v in end.items()}}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--megabytes", type=int, default=100)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("build", nargs="?", default="build")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="quorvel-large-")
    env = dict(os.environ, HOME=work, TMPDIR=work, LC_ALL="C")
    env.pop("XDG_DATA_HOME", None)
    sample = os.path.join(args.build, "res", "logo.swf")
    pack = os.path.join(args.build, "quorvel-pack")
    packages = {}
    for name, size in (("small", 0), ("large", args.megabytes)):
        folder = os.path.join(work, name)
        os.mkdir(folder)
        if size:
            padded_movie(sample, os.path.join(folder, "main.swf"), size)
        else:
            shutil.copy(sample, os.path.join(folder, "main.swf"))
        with open(os.path.join(folder, "readme.txt"), "w") as f:
            f.write("a second file\n")
        packages[name] = os.path.join(work, name + ".bin")
        subprocess.run([pack, "build", "-o", packages[name], "--main", "main.swf", os.path.join(folder, "main.swf"),
                        os.path.join(folder, "readme.txt")], check=True, stdout=subprocess.DEVNULL)
        shutil.rmtree(folder)
    xvfb = ff.start_display(env)
    results = {name: [] for name in packages}
    try:
        run(packages["small"], env)  # installs the control
        for _ in range(args.runs):
            for name, package in packages.items():
                results[name].append(run(package, env))
    finally:
        xvfb.terminate()
        shutil.rmtree(work, ignore_errors=True)
    keys = ("player peak", "player end", "web peak", "web end")
    print(f"anonymous memory, MB, medians of {args.runs} runs, load average {os.getloadavg()[0]:.1f}")
    print(f"{'main movie':16}" + "".join(f"{k:>13}" for k in keys))
    med = {}
    for name in packages:
        med[name] = {k: statistics.median(r[k] for r in results[name]) for k in keys}
        shown = sum(r["shown"] for r in results[name])
        print(f"{name + (' (%d MB)' % args.megabytes if name == 'large' else ''):16}"
              + "".join(f"{med[name][k]:13.1f}" for k in keys) + f"   shown {shown}/{args.runs}")
    print("large - small, in movies:")
    for k in keys:
        print(f"  {k}: {(med['large'][k] - med['small'][k]) / args.megabytes:.2f} x the movie")
    r = (med["large"]["player peak"] - med["small"]["player peak"]) / args.megabytes
    print(f"goal: player's peak < {GOAL_RATIO} x the movie above the small package's: "
          f"{'met' if r < GOAL_RATIO else 'NOT met'} ({r:.2f})")


if __name__ == "__main__":
    main()
