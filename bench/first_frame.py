#!/usr/bin/env python3
"""The sample movie three ways under one virtual display, taken in turn:
our packaged player, the same engine build in a bare web view of ours
(quorvel-bench-bare-view), and the same engine files in Debian's chromium,
served from 127.0.0.1. For each: the time from launch to the movie's first
frame on screen, the CPU all its processes use while the movie plays (one
core = 100 %), and the PSS of all its processes; then the ratios against
the goals.

usage: bench/first_frame.py [--runs N] [--rows player,bare,chromium,chromium-webgl]
                            [--variant NAME:VAR=VALUE,...] [--parts] [--timeline] [BUILD_DIR]

--timeline also prints, for the player, the moment of each step of its
start from the launch (the marks it writes with QUORVEL_TIMELINE), medians
over the runs, up to the first frame seen on screen.
"""
import argparse
import functools
import http.server
import os
import shutil
import signal
import socketserver
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SCREEN = (1024, 768)
# The first frame is the movie's own drawing, not its stage colour (a window
# may show that before the engine has drawn anything): a point of the
# sample's sun, below its letters and its bar, in the centred 550 x 400 movie.
PIXEL = (512, 469)
DRAWING = "srgb(252,163,17)"   # the sun's colour, #FCA311
TIMEOUT = 30.0
SETTLE = 1.0                   # after the first frame, before CPU is counted
PLAYING = 5.0                  # how long CPU is counted

# Goals: the player's first frame against the bare web view's, its CPU
# while playing against the bare view's and chromium's with WebGL (the same
# renderer).
GOAL_FIRST_VS_BARE = 0.75
GOAL_CPU_VS_BARE = 1.00
GOAL_CPU_VS_CHROMIUM_WEBGL = 1.00

CHROMIUM_FLAGS = ["--no-sandbox", "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync", "--disable-quic",
                  "--autoplay-policy=no-user-gesture-required", "--no-default-browser-check",
                  "--password-store=basic", "--kiosk",
                  f"--window-position=0,0", f"--window-size={SCREEN[0]},{SCREEN[1]}"]

# The engine's page in a browser: the movie at its size, centred, with the
# options our control gives it.
CHROMIUM_PAGE = """<!doctype html>
<html><head><meta charset="utf-8">
<style>html, body {{ margin: 0; width: 100%; height: 100%; overflow: hidden; background: #000; }}
#stage {{ position: absolute; left: 50%; top: 50%; width: {w}px; height: {h}px;
          margin-left: -{hw}px; margin-top: -{hh}px; }}
#stage > * {{ width: 100%; height: 100%; display: block; }}</style></head>
<body><div id="stage"></div><script src="ruffle.js"></script><script>
const player = window.RufflePlayer.newest().createPlayer();
document.getElementById("stage").appendChild(player);
player.load({{ url: "{movie}", autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
              contextMenu: "off", letterbox: "off", quality: "high", logLevel: "error" }});
</script></body></html>
"""


def free_display():
    for n in range(150, 250):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return f":{n}"
    sys.exit("no free display number")


def start_display(env):
    """Xvfb on a free display (-noreset: it outlives its last client)."""
    display = free_display()
    xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten",
                             "tcp", "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    env["DISPLAY"] = display
    for _ in range(200):
        if subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0:
            return xvfb
        time.sleep(0.05)
    sys.exit("Xvfb did not start")


def pixel(env, at=PIXEL):
    out = subprocess.run(["import", "-window", "root", "-crop", f"1x1+{at[0]}+{at[1]}", "txt:-"],
                         env=env, capture_output=True, text=True).stdout
    for word in out.split():
        if word.startswith("srgb("):
            return word
    return None


def process_tree(root):
    """The pid and every descendant (the web engines run in child processes)."""
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


def cpu_ticks(pids):
    """utime + stime of each pid, by pid (a process that ends keeps its last)."""
    ticks = {}
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks[pid] = int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return ticks


def pss_kb(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            for line in f:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def command_name(pid):
    try:
        with open(f"/proc/{pid}/comm") as f:
            return f.read().strip()
    except OSError:
        return "?"


def kill_tree(proc):
    for pid in reversed(process_tree(proc.pid)):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    proc.wait()


class Serve:
    """http.server on 127.0.0.1 for a folder, in a thread."""

    def __init__(self, folder):
        handler = functools.partial(Quiet, directory=folder)
        self.server = socketserver.ThreadingTCPServer(("127.0.0.1", 0), handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".wasm": "application/wasm", ".js": "text/javascript",
                             ".swf": "application/x-shockwave-flash"})

    def log_message(self, *args):
        pass


def read_marks(fd, start):
    """The timeline lines written so far to the pipe `fd`: (step, seconds
    from `start`), in order. The pipe is not waited on: the web processes
    may hold its other end."""
    os.set_blocking(fd, False)
    data = b""
    while True:
        try:
            chunk = os.read(fd, 65536)
        except BlockingIOError:
            break
        if not chunk:
            break
        data += chunk
    marks = []
    for line in data.decode(errors="replace").splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[0] == "quorvel-timeline":
            marks.append((parts[2], float(parts[1]) - start))
    return marks


def run_once(command, env, xvfb_pid, measure, quit_with_escape=True, timeline=False):
    """Launch, wait for the first frame, then (measure) count CPU and PSS;
    with `timeline`, collect the player's start-up marks."""
    marks_read = marks_write = None
    pass_fds = ()
    if timeline:
        marks_read, marks_write = os.pipe()
        env = dict(env, QUORVEL_TIMELINE=str(marks_write))
        pass_fds = (marks_write,)
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            pass_fds=pass_fds)
    if marks_write is not None:
        os.close(marks_write)
    result = {"first": None}
    while time.monotonic() - start < TIMEOUT and proc.poll() is None:
        if pixel(env) == DRAWING:
            result["first"] = time.monotonic() - start
            break
        time.sleep(0.02)
    if result["first"] is not None and measure:
        time.sleep(SETTLE)
        pids = process_tree(proc.pid)
        before, xbefore, t0 = cpu_ticks(pids), cpu_ticks([xvfb_pid]), time.monotonic()
        time.sleep(PLAYING)
        pids = process_tree(proc.pid)
        after, xafter, t1 = cpu_ticks(pids), cpu_ticks([xvfb_pid]), time.monotonic()
        hz = os.sysconf("SC_CLK_TCK")
        result["cpu"] = sum(after[p] - before.get(p, 0) for p in after) / hz / (t1 - t0) * 100
        result["xcpu"] = (xafter.get(xvfb_pid, 0) - xbefore.get(xvfb_pid, 0)) / hz / (t1 - t0) * 100
        parts = {}
        for pid in pids:
            name = command_name(pid)
            parts[name] = parts.get(name, 0) + pss_kb(pid)
        result["pss"] = sum(parts.values()) / 1024
        result["parts"] = parts
    if marks_read is not None:
        result["marks"] = read_marks(marks_read, start)
        os.close(marks_read)
    if quit_with_escape:
        subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            kill_tree(proc)
    else:
        kill_tree(proc)
    return result


def median_of(results, key):
    values = [r[key] for r in results if r.get(key) is not None]
    return statistics.median(values) if values else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rows", default="player,bare,chromium,chromium-webgl")
    parser.add_argument("--parts", action="store_true", help="PSS by process name")
    parser.add_argument("--timeline", action="store_true", help="the player's start-up steps")
    parser.add_argument("--variant", action="append", default=[], metavar="NAME:VAR=VALUE[,VAR=VALUE]",
                        help="one more row: the bare web view with these environment variables")
    parser.add_argument("build", nargs="?", default="build")
    args = parser.parse_args()
    rows = args.rows.split(",")
    variants = {}
    for variant in args.variant:
        name, _, assignments = variant.partition(":")
        variants[name] = dict(a.split("=", 1) for a in assignments.split(",") if "=" in a)
        rows.append(name)
    player = [os.path.join(args.build, "quorvel-sample")]
    movie = os.path.join(args.build, "res", "logo.swf")
    bare = [os.path.join(args.build, "bench", "quorvel-bench-bare-view"), movie]
    engine = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "control", "node_modules",
                          "@ruffle-rs", "ruffle")
    chromium = shutil.which("chromium")
    if any(r.startswith("chromium") for r in rows) and not chromium:
        sys.exit("chromium is missing: apt-get install chromium")

    home = tempfile.mkdtemp(prefix="quorvel-bench-home-")
    env = dict(os.environ, HOME=home, TMPDIR=home, LC_ALL="C")
    env.pop("XDG_DATA_HOME", None)
    xvfb = start_display(env)
    # The browser's page: the engine's files and the movie, from one folder.
    site = os.path.join(home, "site")
    os.mkdir(site)
    # (Only chromium reads it: a checkout without the engine's files still
    # measures the other rows.)
    for name in os.listdir(engine) if os.path.isdir(engine) else []:
        os.symlink(os.path.join(os.path.abspath(engine), name), os.path.join(site, name))
    shutil.copy(movie, os.path.join(site, "logo.swf"))
    width, height = 550, 400
    info = subprocess.run([os.path.join(args.build, "quorvel-pack"), "info", movie], capture_output=True,
                          text=True).stdout.split()
    if info and "x" in info[0]:
        width, height = (int(v) for v in info[0].split("x"))
    with open(os.path.join(site, "index.html"), "w") as f:
        f.write(CHROMIUM_PAGE.format(w=width, h=height, hw=width // 2, hh=height // 2, movie="logo.swf"))
    server = Serve(site)
    url = f"http://127.0.0.1:{server.port}/index.html"

    results = {row: [] for row in rows}
    install = None
    try:
        if "player" in rows:
            # The first run installs the control; it is timed on its own.
            install = run_once(player, env, xvfb.pid, False)["first"]
        for i in range(args.runs):
            for row in rows:
                if row == "player":
                    results[row].append(run_once(player, env, xvfb.pid, True, timeline=args.timeline))
                elif row == "bare":
                    results[row].append(run_once(bare, env, xvfb.pid, True, timeline=args.timeline))
                elif row in variants:
                    results[row].append(run_once(bare, dict(env, **variants[row]), xvfb.pid, True))
                elif row in ("chromium", "chromium-webgl"):
                    profile = tempfile.mkdtemp(prefix="chromium-", dir=home)
                    # Under software GL chromium refuses WebGL and the engine
                    # falls back to its canvas renderer; this row lets it
                    # have WebGL, to compare the renderer we use.
                    extra = ["--ignore-gpu-blocklist", "--enable-unsafe-swiftshader"] if row != "chromium" else []
                    command = [chromium, *CHROMIUM_FLAGS, *extra, f"--user-data-dir={profile}", url]
                    results[row].append(run_once(command, env, xvfb.pid, True, quit_with_escape=False))
                    shutil.rmtree(profile, ignore_errors=True)
    finally:
        server.close()
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)

    names = {"player": "our player", "bare": "bare web view", "chromium": "chromium", "chromium-webgl": "chromium, WebGL", **{v: v for v in variants}}
    print(f"the sample, {args.runs} runs in turn, load average {os.getloadavg()[0]:.1f}, "
          f"{os.cpu_count()} cores; medians")
    print(f"{'':16} {'first s':>8} {'best s':>7} {'CPU %':>6} {'X CPU %':>8} {'PSS MB':>7}")
    med = {}
    for row in rows:
        firsts = [r["first"] for r in results[row] if r["first"] is not None]
        med[row] = {k: median_of(results[row], k) for k in ("first", "cpu", "xcpu", "pss")}
        m = med[row]
        if not firsts:
            print(f"{names[row]:16} {'never':>8}")
            continue
        print(f"{names[row]:16} {m['first']:8.2f} {min(firsts):7.2f} {m['cpu']:6.0f} {m['xcpu']:8.0f} "
              f"{m['pss']:7.0f}")
    if install is not None:
        print(f"first run of the player (installs the control): {install:.2f} s")
    if args.parts:
        for row in rows:
            if results[row] and results[row][-1].get("parts"):
                parts = ", ".join(f"{n} {kb / 1024:.0f}" for n, kb in
                                  sorted(results[row][-1]["parts"].items(), key=lambda p: -p[1]))
                print(f"PSS MB of {names[row]}: {parts}")

    if args.timeline:
        for row in ("player", "bare"):
            if results.get(row):
                print_timeline(names[row], results[row])

    def verdict(ok):
        return "met" if ok else "NOT met"
    p, b, w = med.get("player", {}), med.get("bare", {}), med.get("chromium-webgl", {})
    c = med.get("chromium", {})
    print("goals:")
    if p.get("first") is not None and b.get("first") is not None:
        r = p["first"] / b["first"]
        print(f"  first frame: player / bare web view = {r:.2f} (goal <= {GOAL_FIRST_VS_BARE:.2f}): "
              f"{verdict(r <= GOAL_FIRST_VS_BARE)}")
    if p.get("cpu") is not None and b.get("cpu") is not None:
        r = p["cpu"] / b["cpu"]
        print(f"  CPU while playing: player / bare web view = {r:.2f} (goal <= {GOAL_CPU_VS_BARE:.2f}): "
              f"{verdict(r <= GOAL_CPU_VS_BARE)}")
    if p.get("cpu") is not None and w.get("cpu") is not None:
        r = p["cpu"] / w["cpu"]
        print(f"  CPU while playing: player / chromium, WebGL = {r:.2f} (goal <= "
              f"{GOAL_CPU_VS_CHROMIUM_WEBGL:.2f}): {verdict(r <= GOAL_CPU_VS_CHROMIUM_WEBGL)}")
    for peer, name in ((w, "chromium, WebGL"), (c, "chromium")):
        if p.get("first") is not None and peer.get("first") is not None:
            print(f"  (player / {name}, first frame = {p['first'] / peer['first']:.2f})")


def print_timeline(name, runs):
    """Each step's median moment from the launch, in the order of the medians,
    with the first frame seen on screen."""
    moments = {}
    for run in runs:
        seen = set()
        for step, at in run.get("marks", []):
            # A step that comes again (a restarted engine) counts once, first.
            if step not in seen:
                seen.add(step)
                moments.setdefault(step, []).append(at)
        if run.get("first") is not None:
            moments.setdefault("first frame (on screen)", []).append(run["first"])
    if not moments:
        print(f"timeline of {name}: no marks")
        return
    print(f"timeline of {name}, seconds from the launch, medians of {len(runs)} runs:")
    for step, ats in sorted(moments.items(), key=lambda m: statistics.median(m[1])):
        print(f"  {statistics.median(ats):7.3f}  {step}" + (f"  ({len(ats)} runs)" if len(ats) != len(runs) else ""))


if __name__ == "__main__":
    main()
